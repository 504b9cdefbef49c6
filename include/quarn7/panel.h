// The service panel for a Qt host (library Quarn7::panel): after install(), clsvyx7::settings
// opens the panel driving the controller it is given.
#pragma once

#include "quarn7/export.h"

namespace quarn7::panel {

// Installs the opener that clsvyx7::settings calls: it creates the one panel on first use, hands
// it the controller and shows it without waiting. Settings then needs a QApplication and must be
// called on its thread (PanelUnavailable otherwise).
QUARN7_API void install();

}  // namespace quarn7::panel
