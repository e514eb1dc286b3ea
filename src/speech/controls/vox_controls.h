#pragma once

// The whole family of speaking controls.
#include "speech/controls/vox_button.h"
#include "speech/controls/vox_chat_view.h"
#include "speech/controls/vox_check_box.h"
#include "speech/controls/vox_combo_box.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_list_box.h"
#include "speech/controls/vox_list_view.h"
#include "speech/controls/vox_memo.h"
#include "speech/controls/vox_model_list_view.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/controls/vox_tree_view.h"
