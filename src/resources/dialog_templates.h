// The add-in module's dialog templates: 201, the add-in's hidden window (a
// disabled pop-up), 206, each action worker's hidden stop window (the same,
// enabled), and 204, the progress dialog with its bar, buttons and counters.
// None is visible when created; all are made without an owner.
#pragma once

#include <platform/dialog_template.h>

platform::DialogTemplateBuilder HiddenWindowTemplate(bool disabled);
platform::DialogTemplateBuilder ProgressDialogTemplate();
