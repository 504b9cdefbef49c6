// Quarn7.clsvyx7: the controller behind the automation interface _clsvyx7. Each member of the
// interface (generated from the dispatch table) calls its table entry: arguments converted from
// VARIANT, arguments the member changed written back (also when it fails), the property value
// converted back to VARIANT.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <vector>

#include "com/automation.h"
#include "quarn7/clsvyx7.h"
#include "tarnvyx7.h"

namespace quarn7::com {

class ControllerObject final : public Automation<_clsvyx7> {
  public:
    explicit ControllerObject(std::shared_ptr<clsvyx7> controller);
    // A new controller that reports through the Windows message box and lets the host's window
    // messages run during its reads.
    static ControllerObject* create();

    std::shared_ptr<Object> native() override { return controller_; }

#define QUARN7_GET_SHORT(index, name)                 \
    STDMETHODIMP get_##name(short* result) override { \
        return get_short(index, result);              \
    }
#define QUARN7_PUT_SHORT(index, name)                      \
    STDMETHODIMP put_##name(short value) override {        \
        return put(index, [=] { return Variant(value); }); \
    }
#define QUARN7_GET_OBJECT(index, name)                     \
    STDMETHODIMP get_##name(IDispatch** result) override { \
        return get_object(index, result);                  \
    }
#define QUARN7_PUTREF_OBJECT(index, name)                         \
    STDMETHODIMP putref_##name(IDispatch* value) override {       \
        return put(index, [=] { return object_variant(value); }); \
    }
#define QUARN7_PUT_VALUE(index, name)                           \
    STDMETHODIMP put_##name(VARIANT value) override {           \
        return put(index, [&] { return from_variant(value); }); \
    }
#define QUARN7_PUT(index, name)                                  \
    STDMETHODIMP put_##name(VARIANT* value) override {           \
        if (value == nullptr) return E_POINTER;                  \
        return put(index, [=] { return from_variant(*value); }); \
    }
#define QUARN7_GET_0(index, name)                       \
    STDMETHODIMP get_##name(VARIANT* result) override { \
        return get(index, {}, result);                  \
    }
#define QUARN7_GET_1(index, name)                                    \
    STDMETHODIMP get_##name(VARIANT* a1, VARIANT* result) override { \
        return get(index, {a1}, result);                             \
    }
#define QUARN7_METHOD_0(index, name) \
    STDMETHODIMP name() override {   \
        return method(index, {});    \
    }
#define QUARN7_METHOD_1(index, name)          \
    STDMETHODIMP name(VARIANT* a1) override { \
        return method(index, {a1});           \
    }
#define QUARN7_METHOD_2(index, name)                       \
    STDMETHODIMP name(VARIANT* a1, VARIANT* a2) override { \
        return method(index, {a1, a2});                    \
    }
#define QUARN7_METHOD_3(index, name)                                    \
    STDMETHODIMP name(VARIANT* a1, VARIANT* a2, VARIANT* a3) override { \
        return method(index, {a1, a2, a3});                             \
    }
#include "clsvyx7_members.inc"
#undef QUARN7_GET_SHORT
#undef QUARN7_PUT_SHORT
#undef QUARN7_GET_OBJECT
#undef QUARN7_PUTREF_OBJECT
#undef QUARN7_PUT_VALUE
#undef QUARN7_PUT
#undef QUARN7_GET_0
#undef QUARN7_GET_1
#undef QUARN7_METHOD_0
#undef QUARN7_METHOD_1
#undef QUARN7_METHOD_2
#undef QUARN7_METHOD_3

  private:
    using Arguments = std::initializer_list<VARIANT*>;

    // Member `index` of the dispatch table with arguments passed by reference: converted, and
    // written back where the member changed them. Its property value or Empty.
    Variant call(std::size_t index, Arguments arguments);

    HRESULT get_short(std::size_t index, short* result);
    HRESULT get_object(std::size_t index, IDispatch** result);
    HRESULT get(std::size_t index, Arguments arguments, VARIANT* result);
    // A property let or set takes its value in: nothing is written back.
    template <class MakeValue>
    HRESULT put(std::size_t index, MakeValue make_value) {
        return guarded([&] {
            std::vector<Variant> values{make_value()};
            invoke(index, values);
        });
    }
    Variant invoke(std::size_t index, std::vector<Variant>& values);
    HRESULT method(std::size_t index, Arguments arguments);

    std::shared_ptr<clsvyx7> controller_;
};

}  // namespace quarn7::com
