// Everything a host program uses: the controller, automation values and errors, serial port
// objects and the port listing, the byte trace and outcomes, opening a line in one call, and the
// simulated unit for running without hardware.
#pragma once

#include "quarn7/clock.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/dispatch.h"
#include "quarn7/error.h"
#include "quarn7/open.h"
#include "quarn7/port_list.h"
#include "quarn7/serial_port.h"
#include "quarn7/services.h"
#include "quarn7/simulated_unit.h"
#include "quarn7/termios_port.h"
#include "quarn7/variant.h"
