#include "panel/panel.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

#include "quarn7/error.h"

namespace quarn7::panel {

namespace {

// Kept from call to call and never deleted: Qt's widgets must not outlive the application
// object, and static destruction would run after it.
QPointer<frm_vyx7> the_panel;

}  // namespace

void install() {
    set_panel_opener([](std::shared_ptr<clsvyx7> controller) {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread()) {
            throw Error(ErrorNumber::PanelUnavailable);
        }
        if (!the_panel) the_panel = new frm_vyx7;
        the_panel->set_controller(std::move(controller));
        the_panel->open();
    });
}

frm_vyx7* instance() {
    return the_panel;
}

}  // namespace quarn7::panel
