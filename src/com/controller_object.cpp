#include "com/controller_object.h"

#include "com/module.h"
#include "panel/win32_panel.h"
#include "platform/win32/services_win32.h"
#include "quarn7/dispatch.h"

namespace quarn7::com {

namespace {

constexpr const wchar_t* kSource = L"Quarn7.clsvyx7";

}  // namespace

ControllerObject::ControllerObject(std::shared_ptr<clsvyx7> controller)
    : Automation(kSource), controller_(std::move(controller)) {}

ControllerObject* ControllerObject::create() {
    // settings shows the Win32 panel. Once the panel exists, its window keeps the DLL loaded.
    [[maybe_unused]] static const bool panel_installed = [] {
        set_panel_opener([](std::shared_ptr<clsvyx7> controller) {
            [[maybe_unused]] static const bool counted = (object_created(), true);
            panel::open_win32_panel(std::move(controller));
        });
        return true;
    }();
    auto controller = std::make_shared<clsvyx7>();
    controller->set_message_box(win32_message_box());
    controller->set_event_pump(win32_event_pump());
    return new ControllerObject(std::move(controller));
}

Variant ControllerObject::invoke(std::size_t index, std::vector<Variant>& values) {
    return interface_members()[index].invoke(*controller_, values);
}

Variant ControllerObject::call(std::size_t index, Arguments arguments) {
    std::vector<Variant> values;
    for (VARIANT* argument : arguments) {
        if (argument == nullptr) throw Error(ErrorNumber::InvalidArgument, "Missing argument");
        values.push_back(from_variant(*argument));
    }
    const std::vector<Variant> before = values;
    const auto write_backs = [&] {
        auto argument = arguments.begin();
        for (std::size_t i = 0; i < values.size(); ++i, ++argument) {
            if (!(values[i] == before[i])) write_back(**argument, values[i]);
        }
    };
    Variant result;
    try {
        result = invoke(index, values);
    } catch (const Error&) {
        // What the member left in its arguments before it failed still reaches the caller.
        write_backs();
        throw;
    }
    write_backs();
    return result;
}

HRESULT ControllerObject::get_short(std::size_t index, short* result) {
    if (result == nullptr) return E_POINTER;
    *result = 0;
    return guarded([&] { *result = call(index, {}).to_integer(); });
}

HRESULT ControllerObject::get_object(std::size_t index, IDispatch** result) {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    return guarded([&] { *result = automation_object(call(index, {}).object()); });
}

HRESULT ControllerObject::get(std::size_t index, Arguments arguments, VARIANT* result) {
    if (result == nullptr) return E_POINTER;
    VariantInit(result);
    return guarded([&] { to_variant(call(index, arguments), *result); });
}

HRESULT ControllerObject::method(std::size_t index, Arguments arguments) {
    return guarded([&] { call(index, arguments); });
}

}  // namespace quarn7::com
