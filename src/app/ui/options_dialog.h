// The options dialog window over ToptionsForm.
#pragma once
