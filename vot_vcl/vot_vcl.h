// The maker's base widget library: base controls, forms, the folder chooser, texts.
#pragma once

#include "vot_vcl/vot_vcl_base.h"
#include "vot_vcl/vot_vcl_form.h"
#include "vot_vcl/vot_vcl_path.h"
#include "vot_vcl/vot_vcl_text.h"
