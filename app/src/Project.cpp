#include "frmQuorvale.h"
#include "modQuorvale.h"

platform::ProjectDescription QuorvaleProject() {
    return {
        .name = "quorvale",
        .title = "Quorvale",
        .version = QUORVALE_VERSION,
        .copyright = "Copyright (c) 2026 The Quorvale developers",
        .license = "MIT <https://opensource.org/licenses/MIT>",
        .summary = "Validates, sorts and groups integer records into lists of five.",
        .dataFileName = modQuorvale::DataFileName,
        .tipsCaption = "Reasons:",
        .startupForm = frmQuorvale::Layout(),
        .load = frmQuorvale::Form_Load,
    };
}
