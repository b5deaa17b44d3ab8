#include "app/ui/about_dialog.h"
