// The about box: what it shows and that "确定" closes it.
#include "app/ui/about_dialog.h"

#include "../../output/ui/ui_support.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

using namespace tarvimo::test;
using tarvimo::app::ui::AboutDialog;

TEST(AboutBox, ShowsTheProductItsVersionAndQtAndCloses)
{
    QApplication::setWindowIcon(QIcon());
    AboutDialog d;
    d.show();
    EXPECT_EQ(d.windowTitle(), q("关于 Tarvimo"));
    EXPECT_EQ(control<QLabel>(&d, "title")->text(), "Tarvimo");
    const QString version = control<QLabel>(&d, "version")->text();
    EXPECT_TRUE(QRegularExpression(q("^版本 \\d+\\.\\d+\\.\\d+$")).match(version).hasMatch()) << version.toStdString();
    EXPECT_EQ(control<QLabel>(&d, "description")->text(), q("企业名录与联系方式采集工具"));
    EXPECT_EQ(control<QLabel>(&d, "qtVersion")->text(), q("基于 Qt ") + QString::fromLatin1(qVersion()));
    // Every line fits: nothing is cut by the dialog's width.
    for (const char* name : {"title", "version", "description", "qtVersion"}) {
        auto* l = control<QLabel>(&d, name);
        EXPECT_GE(l->width(), l->sizeHint().width()) << name;
    }
    auto* ok = control<QPushButton>(&d, "ok");
    EXPECT_EQ(ok->text(), q("确定"));
    click(ok);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(AboutBox, ShowsTheApplicationIconAndRunsModallyUntilOk)
{
    QPixmap square(32, 32);
    square.fill(Qt::darkGreen);
    QApplication::setWindowIcon(QIcon(square));
    OnModal<AboutDialog> press([](AboutDialog& d) {
        EXPECT_FALSE(control<QLabel>(&d, "icon")->pixmap().isNull());
        click(control<QPushButton>(&d, "ok"));
    });
    tarvimo::app::ui::showAboutBox(nullptr);
    EXPECT_TRUE(press.seen);
    QApplication::setWindowIcon(QIcon());
}
