// The Python module `quarn7`: bindings over the public library, nothing more. The controller's
// members come from the dispatch table under their own names; every call into the library runs
// with the GIL released, so other Python threads go on while a call waits on the line.
#include <pybind11/chrono.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quarn7/quarn7.h"

namespace py = pybind11;
using namespace quarn7;

namespace {

constexpr const char* kModuleDoc = R"(Drives the video overlay unit ("DE") of a camera system.

    de = quarn7.open("/dev/ttyUSB0")   # or open(1): CommPort 1; quarn7.simulate(): no hardware
    de.meterteller_aan()               # a method
    de.afstand = 12.3                  # a property let; de.afstand reads it back
    tilt = de.lees_waarde(45)          # the digital tilt in degrees
    hoog, laag = de.hooglaag(1234)

Every member of the controller's automation interface is here under its own name: property gets
and lets without arguments are properties, everything else is a method.

Write-backs: the members take their arguments by reference and may write into them. A method
returns what it leaves in its arguments: all of them, or, when trailing arguments are left off
(they start as None), only those left off. One value comes back as itself, several as a tuple.
An assignment has no value, so a property let's write-back is not seen.

Values go in as the command-line host types its untyped values: None as Empty, bool as Boolean,
int as Integer when it fits 16 bits, Long when it fits 32, Double beyond, float as Double, str as
String; quarn7.Integer(5), Long, Single, Double, String and Boolean give a kind explicitly.
Results come back as None, bool, int, float or str.

Errors raise quarn7.Error (.number, .description); the port's causes raise its subclasses
PortBusy, DeviceLost, NoSuchDevice and PermissionDenied. last_outcome names what the last
transaction ended in. Every byte on the line goes to the logging logger "quarn7.wire" (DEBUG,
"TX 02 01 ..."), or to the callback given to set_trace. Calls from several threads are
serialised; each releases the GIL while it runs.)";

PyObject* error_class = nullptr;  // quarn7.Error; its subclasses by error number below
std::map<ErrorNumber, PyObject*> port_error_classes;

struct PortErrorClass {
    ErrorNumber number;
    const char* name;
};
constexpr PortErrorClass kPortErrorClasses[] = {
    {ErrorNumber::PortBusy, "PortBusy"},
    {ErrorNumber::DeviceLost, "DeviceLost"},
    {ErrorNumber::NoSuchDevice, "NoSuchDevice"},
    {ErrorNumber::PermissionDenied, "PermissionDenied"},
};

void raise_python_error(const Error& e) {
    const auto sub = port_error_classes.find(e.number());
    PyObject* type = sub == port_error_classes.end() ? error_class : sub->second;
    py::object exception = py::reinterpret_borrow<py::object>(type)(e.description());
    exception.attr("number") = e.code();
    exception.attr("description") = e.description();
    PyErr_SetObject(type, exception.ptr());
}

py::object to_python(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
            return py::none();
        case VarType::Integer:
            return py::int_(v.integer_value());
        case VarType::Long:
            return py::int_(v.long_value());
        case VarType::Single:
            return py::float_(v.single_value());
        case VarType::Double:
            return py::float_(v.double_value());
        case VarType::String:
            return py::str(v.string_value());
        case VarType::Boolean:
            return py::bool_(v.bool_value());
        case VarType::Object:
            return py::cast(v.object());
    }
    return py::none();
}

Variant to_variant(py::handle value) {
    if (value.is_none()) return {};
    if (py::isinstance<Variant>(value)) return value.cast<Variant>();
    if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
    if (PyLong_Check(value.ptr())) {
        int overflow = 0;
        const long long whole = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
        if (overflow != 0) return value.cast<double>();
        return whole_number(whole);
    }
    if (PyFloat_Check(value.ptr())) return value.cast<double>();
    if (PyUnicode_Check(value.ptr())) return value.cast<std::string>();
    if (py::isinstance<Object>(value)) return value.cast<std::shared_ptr<Object>>();
    throw py::type_error("quarn7 takes None, bool, int, float, str or a quarn7 value, not " +
                         std::string(py::str(value.get_type().attr("__name__"))));
}

struct Kind {
    const char* name;
    Variant (*make)(const Variant& value);
};
// The explicit kinds, converted with the library's automation rules (rounding, overflow).
constexpr Kind kKinds[] = {
    {"Integer", [](const Variant& v) { return Variant(v.to_integer()); }},
    {"Long", [](const Variant& v) { return Variant(v.to_long()); }},
    {"Single", [](const Variant& v) { return Variant(v.to_single()); }},
    {"Double", [](const Variant& v) { return Variant(v.to_double()); }},
    {"String", [](const Variant& v) { return Variant(v.to_text()); }},
    {"Boolean", [](const Variant& v) { return Variant(v.to_bool()); }},
};

double seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// A Python callable as a trace sink: called with the GIL taken (the controller calls it inside a
// member, where the GIL is released); its errors go to sys.unraisablehook, never into the line's
// transaction. The callable is dropped with the GIL held, whichever thread drops the sink.
TraceSink python_sink(py::object callback) {
    std::shared_ptr<py::object> held(new py::object(std::move(callback)), [](py::object* o) {
        const py::gil_scoped_acquire gil;
        delete o;
    });
    return [held](const TraceEvent& event) {
        const py::gil_scoped_acquire gil;
        try {
            (*held)(py::cast(event, py::return_value_policy::copy));
        } catch (py::error_already_set& e) {
            e.discard_as_unraisable(*held);
        }
    };
}

void log_wire(const TraceEvent& event) {
    // Kept for the process's life: dropping it after the interpreter has gone would crash.
    static const py::object& logger =
        *new py::object(py::module_::import("logging").attr("getLogger")("quarn7.wire"));
    constexpr int kDebug = 10;
    if (!logger.attr("isEnabledFor")(kDebug).cast<bool>()) return;
    const char* direction = event.direction == TraceEvent::Direction::Out ? "TX" : "RX";
    logger.attr("debug")("%s %s", direction, py::bytes(event.bytes).attr("hex")(" "));
}

// Every controller this module hands out traces to the "quarn7.wire" logger until told otherwise.
py::object handed_out(std::shared_ptr<clsvyx7> de) {
    TraceSink sink = python_sink(py::module_::import("quarn7").attr("log_wire"));
    {
        const py::gil_scoped_release release;
        de->set_trace(std::move(sink));
    }
    return py::cast(std::move(de));
}

sim::Faults faults_from(const py::kwargs& kwargs) {
    sim::Faults faults;
    const py::object view = py::cast(&faults, py::return_value_policy::reference);
    for (const auto& [name, value] : kwargs) {
        const std::string field = py::str(name);
        if (field.starts_with("_") || !py::hasattr(view, field.c_str())) {
            throw py::type_error("no fault named " + field);
        }
        py::setattr(view, name, value);
    }
    return faults;
}

py::dict bytes_by_number(const std::map<int, std::string>& map) {
    py::dict d;
    for (const auto& [number, bytes] : map) d[py::int_(number)] = py::bytes(bytes);
    return d;
}

// Member calls: arguments by position, missing trailing ones Empty; the result as the module's
// docstring says.
py::object call_method(const Member& m, clsvyx7& de, const py::args& given) {
    if (given.size() > m.arguments.size()) {
        throw py::type_error(std::string(m.name) + " takes at most " +
                             std::to_string(m.arguments.size()) + " argument(s), " +
                             std::to_string(given.size()) + " given");
    }
    std::vector<Variant> args(m.arguments.size());
    for (std::size_t i = 0; i < given.size(); ++i) args[i] = to_variant(given[i]);
    Variant result;
    {
        const py::gil_scoped_release release;
        result = m.invoke(de, args);
    }
    if (args.empty()) return to_python(result);
    const std::size_t first = given.size() < args.size() ? given.size() : 0;
    if (args.size() - first == 1) return to_python(args[first]);
    py::tuple back(args.size() - first);
    for (std::size_t i = first; i < args.size(); ++i) back[i - first] = to_python(args[i]);
    return back;
}

std::string signature(const Member& m) {
    std::string text = std::string(m.name) + "(";
    for (std::size_t i = 0; i < m.arguments.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::string(m.arguments[i]);
    }
    return text + ")";
}

void add_members(py::class_<clsvyx7, Object, std::shared_ptr<clsvyx7>>& cls) {
    py::options options;
    options.disable_function_signatures();  // the docstrings are the table's own text
    struct Accessors {
        py::object get = py::none();
        py::object let = py::none();
        std::string doc;
    };
    std::map<std::string_view, Accessors> properties;
    for (const Member& m : interface_members()) {
        const std::string name(m.name);
        const std::string kind(kind_name(m.kind));
        if (m.kind == MemberKind::Get && m.arguments.empty()) {
            auto& p = properties[m.name];
            p.get = py::cpp_function([&m](clsvyx7& de) {
                Variant value;
                {
                    const py::gil_scoped_release release;
                    value = m.invoke(de, {});
                }
                return to_python(value);
            });
            p.doc += (p.doc.empty() ? "property " + name + ": " : ", ") + kind;
        } else if (m.kind == MemberKind::Let || m.kind == MemberKind::Set) {
            auto& p = properties[m.name];
            p.let = py::cpp_function([&m](clsvyx7& de, py::handle value) {
                Variant v = to_variant(value);
                const py::gil_scoped_release release;
                m.invoke(de, {&v, 1});
            });
            p.doc += (p.doc.empty() ? "property " + name + ": " : ", ") + kind + " " +
                     std::string(m.arguments.front());
        } else {
            const std::string doc = kind + " " + signature(m) +
                                    (m.arguments.empty() ? "" : ": returns its write-backs");
            cls.attr(name.c_str()) = py::cpp_function(
                [&m](clsvyx7& de, const py::args& args) { return call_method(m, de, args); },
                py::name(name.c_str()), py::is_method(cls), py::doc(doc.c_str()));
        }
    }
    const py::object property = py::module_::import("builtins").attr("property");
    for (const auto& [name, p] : properties) {
        py::setattr(cls, py::str(std::string(name)), property(p.get, p.let, py::none(), p.doc));
    }
}

void bind_errors(py::module_& m) {
    error_class = PyErr_NewExceptionWithDoc(
        "quarn7.Error", "An error of a member or of the port: .number, .description", nullptr,
        nullptr);
    m.attr("Error") = py::handle(error_class);
    for (const auto& [number, name] : kPortErrorClasses) {
        const std::string qualified = std::string("quarn7.") + name;
        PyObject* type = PyErr_NewException(qualified.c_str(), error_class, nullptr);
        port_error_classes[number] = type;
        m.attr(name) = py::handle(type);
    }
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const Error& e) {
            raise_python_error(e);
        }
    });
}

void bind_values(py::module_& m) {
    py::class_<Variant>(m, "Variant",
                        "An automation value of a given kind (see Integer, Long, ...)")
        .def_property_readonly("kind",
                               [](const Variant& v) { return std::string(type_name(v.type())); })
        .def_property_readonly("value", &to_python)
        .def("__repr__",
             [](const Variant& v) {
                 return std::string(type_name(v.type())) + "(" +
                        std::string(py::repr(to_python(v))) + ")";
             })
        .def("__eq__", [](const Variant& a, const Variant& b) { return a == b; });
    for (const auto& kind : kKinds) {
        m.def(
            kind.name, [make = kind.make](py::handle value) { return make(to_variant(value)); },
            py::arg("value"), (std::string("The value as an automation ") + kind.name).c_str());
    }

    py::class_<TraceEvent>(m, "TraceEvent", "Bytes written to or read from the line")
        .def_property_readonly(
            "time", [](const TraceEvent& e) { return seconds(e.time); },
            "seconds on the monotonic clock (time.monotonic())")
        .def_property_readonly("direction",
                               [](const TraceEvent& e) {
                                   return e.direction == TraceEvent::Direction::Out ? "out" : "in";
                               })
        .def_property_readonly("bytes", [](const TraceEvent& e) { return py::bytes(e.bytes); });
    m.def("log_wire", &log_wire, py::arg("event"),
          "Logs a trace event to the logger \"quarn7.wire\" at DEBUG: \"TX 02 01 00 00 26 00 0d\"");
}

void bind_controller(py::module_& m) {
    py::class_<Object, std::shared_ptr<Object>>(m, "Object",
                                                "An automation object (a port, a controller)");
    py::class_<clsvyx7, Object, std::shared_ptr<clsvyx7>> controller(
        m, "Controller", py::dynamic_attr(), "The overlay unit's controller (clsvyx7)");
    add_members(controller);
    controller
        .def_property_readonly(
            "last_outcome",
            [](const clsvyx7& de) -> std::optional<std::string> {
                const auto outcome = [&] {
                    const py::gil_scoped_release release;
                    return de.last_outcome();
                }();
                if (!outcome) return std::nullopt;
                return std::string(outcome_name(*outcome));
            },
            "What the last transaction ended in (\"acknowledged\", \"no_reaction\", ...), or None")
        .def(
            "set_trace",
            [](clsvyx7& de, py::object callback) {
                TraceSink sink =
                    callback.is_none() ? TraceSink{} : python_sink(std::move(callback));
                const py::gil_scoped_release release;
                de.set_trace(std::move(sink));
            },
            py::arg("callback"),
            "Calls callback(TraceEvent) for every write and read of the line; None: no trace")
        .def("set_fast_reads", &clsvyx7::set_fast_reads, py::arg("on"),
             py::call_guard<py::gil_scoped_release>(),
             "Reads end their first wait as soon as the complete reply is in (off by default)");

    m.def(
        "open",
        [](const std::string& address) {
            return handed_out([&] {
                const py::gil_scoped_release release;
                return quarn7::open(address);
            }());
        },
        py::arg("address"), "The controller on the line at address (a device path), port open");
    m.def(
        "open",
        [](std::int16_t comm_port) {
            return handed_out([&] {
                const py::gil_scoped_release release;
                return quarn7::open(comm_port);
            }());
        },
        py::arg("comm_port"), "The controller on CommPort comm_port (1: /dev/ttyS0), port open");

    m.def(
        "interface_members",
        [] {
            py::list members;
            for (const Member& member : interface_members()) {
                members.append(py::make_tuple(
                    std::string(member.name), std::string(kind_name(member.kind)),
                    std::vector<std::string>(member.arguments.begin(), member.arguments.end())));
            }
            return members;
        },
        "Every member in interface order: (name, kind, argument names)");
}

void bind_simulated_unit(py::module_& m) {
    py::class_<sim::Faults>(m, "Faults", "How the simulated unit misbehaves")
        .def(py::init<>())
        .def_readwrite("silent", &sim::Faults::silent)
        .def_readwrite("refuse", &sim::Faults::refuse)
        .def_readwrite("delay", &sim::Faults::delay)
        .def_readwrite("truncate_replies_to", &sim::Faults::truncate_replies_to)
        .def_property(
            "garbage_prefix", [](const sim::Faults& f) { return py::bytes(f.garbage_prefix); },
            [](sim::Faults& f, const std::string& bytes) { f.garbage_prefix = bytes; })
        .def_readwrite("drop_first_frames", &sim::Faults::drop_first_frames)
        .def_readwrite("close_after_frames", &sim::Faults::close_after_frames);
    py::class_<sim::LoggedFrame>(m, "Frame", "A frame the simulated unit received")
        .def_property_readonly("received",
                               [](const sim::LoggedFrame& f) { return seconds(f.received); })
        .def_property_readonly("bytes",
                               [](const sim::LoggedFrame& f) { return py::bytes(f.bytes); })
        .def_property_readonly("answer",
                               [](const sim::LoggedFrame& f) { return py::bytes(f.answer); })
        .def("__repr__", [](const sim::LoggedFrame& f) {
            const auto spaced = [](const std::string& b) { return py::bytes(b).attr("hex")(" "); };
            return py::str("<Frame {} answered {}>").format(spaced(f.bytes), spaced(f.answer));
        });
    using State = sim::UnitState;
    py::class_<State>(m, "UnitState", "What the simulated unit holds; str() describes it")
        .def_readonly("switches", &State::switches)
        .def_property_readonly("settings",
                               [](const State& s) { return bytes_by_number(s.settings); })
        .def_readonly("windows", &State::windows)
        .def_property_readonly("text_fields",
                               [](const State& s) { return bytes_by_number(s.text_fields); })
        .def_readonly("selected_text_field", &State::selected_text_field)
        .def_readonly("system_text_field", &State::system_text_field)
        .def_readonly("counter1", &State::counter1)
        .def_readonly("counter2", &State::counter2)
        .def_readonly("photo_counter", &State::photo_counter)
        .def_readonly("video_seconds", &State::video_seconds)
        .def_readonly("digital_tilt", &State::digital_tilt)
        .def_readonly("analogue_tilt", &State::analogue_tilt)
        .def_property_readonly("colour", [](const State& s) { return py::bytes(s.colour); })
        .def_readonly("resets", &State::resets)
        .def("__str__", [](const State& s) { return sim::describe(s); });
    using Unit = sim::SimulatedUnit;
    const auto released = py::call_guard<py::gil_scoped_release>();
    py::class_<Unit, std::shared_ptr<Unit>>(m, "SimulatedUnit", "The simulated overlay unit")
        .def_property_readonly("device_path", &Unit::device_path, "its pty; \"\" in process")
        .def_property_readonly("frames", &Unit::frames, released)
        .def_property_readonly("noise",
                               [](const Unit& u) {
                                   std::string noise;
                                   {
                                       const py::gil_scoped_release release;
                                       noise = u.noise();
                                   }
                                   return py::bytes(noise);
                               })
        .def_property_readonly("state", &Unit::state, released)
        .def_property_readonly("faults", &Unit::faults, released)
        .def(
            "set_faults",
            [](Unit& u, const py::kwargs& kwargs) {
                const sim::Faults faults = faults_from(kwargs);
                const py::gil_scoped_release release;
                u.set_faults(faults);
            },
            "Replaces the faults: set_faults(silent=True), no arguments: none")
        .def("set_tilt", &Unit::set_tilt, py::arg("digital"), py::arg("analogue"), released)
        .def("set_item_data", &Unit::set_item_data, py::arg("item"), py::arg("data"), released)
        .def("clear_frames", &Unit::clear_frames, released)
        .def("close_line", &Unit::close_line, released)
        .def("wait_for_frames", &Unit::wait_for_frames, py::arg("count"), py::arg("timeout"),
             released);

    m.def(
        "simulate",
        [](bool pty, bool paced, const py::kwargs& faults) {
            auto builder = sim::SimulatedUnit::Builder().paced(paced).faults(faults_from(faults));
            std::shared_ptr<Unit> unit;
            std::shared_ptr<clsvyx7> de;
            {
                const py::gil_scoped_release release;
                unit = pty ? builder.build() : builder.build_in_process();
                de = quarn7::open(unit->port());
            }
            py::object simulated = handed_out(std::move(de));
            simulated.attr("unit") = py::cast(unit);
            return simulated;
        },
        py::kw_only(), py::arg("pty") = false, py::arg("paced") = true,
        "A controller wired to a simulated unit (its .unit), in process or on a pseudo-terminal;\n"
        "keywords name its faults: simulate(silent=True), delay=0.05, ...");
}

}  // namespace

PYBIND11_MODULE(quarn7, m) {
    m.doc() = kModuleDoc;
    bind_errors(m);
    bind_values(m);
    bind_controller(m);
    bind_simulated_unit(m);
}
