// Makes clsvyx7::settings open the service panel (quarn7/panel.h), and the panel it opened.
#pragma once

#include "panel/frm_vyx7.h"
#include "quarn7/panel.h"

namespace quarn7::panel {

// The one panel; nullptr until the first settings call.
frm_vyx7* instance();

}  // namespace quarn7::panel
