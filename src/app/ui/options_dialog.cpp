#include "app/ui/options_dialog.h"
