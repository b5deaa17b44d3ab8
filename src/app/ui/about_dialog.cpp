#include "app/ui/about_dialog.h"

#include "run/qt_text.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvimo::app::ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutDialog");
    setWindowTitle(q("关于 Tarvimo"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setObjectName("icon");
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        icon->setPixmap(appIcon.pixmap(64, 64));
    icon->setFixedSize(64, 64);
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* title = new QLabel(QStringLiteral("Tarvimo"), this);
    title->setObjectName("title");
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    auto* version = new QLabel(q("版本 ") + QStringLiteral(TARVIMO_VERSION), this);
    version->setObjectName("version");
    auto* description = new QLabel(q("企业名录与联系方式采集工具"), this);
    description->setObjectName("description");
    auto* qt = new QLabel(q("基于 Qt ") + QString::fromLatin1(qVersion()), this);
    qt->setObjectName("qtVersion");
    for (QLabel* l : {version, description, qt})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(description);
    texts->addWidget(qt);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* ok = new QPushButton(q("确定"), this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void showAboutBox(QWidget* parent)
{
    AboutDialog d(parent);
    d.exec();
}

} // namespace tarvimo::app::ui
