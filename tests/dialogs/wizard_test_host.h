#pragma once

// A dialog host for the wizard, the small windows and the configuration editor.

#include "dialog_test_host.h"

using WizardTestHost = TestDialogHost;
