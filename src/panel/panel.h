// Makes clsvyx7::settings open the service panel.
#pragma once

#include "panel/frm_vyx7.h"

namespace quarn7::panel {

// Installs the opener that clsvyx7::settings calls: it creates the one panel on first use, hands
// it the controller and shows it without waiting. Settings then needs a QApplication and must be
// called on its thread (PanelUnavailable otherwise).
void install();

// The one panel; nullptr until the first settings call.
frm_vyx7* instance();

}  // namespace quarn7::panel
