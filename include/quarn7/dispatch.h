// Every member of the controller's automation interface, in interface order, callable by name
// with Variant arguments (what the command-line host and other by-name callers use).
#pragma once

#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "quarn7/export.h"
#include "quarn7/variant.h"

namespace quarn7 {

class clsvyx7;

enum class MemberKind { Get, Let, Set, Method };
QUARN7_API std::string_view kind_name(MemberKind kind);  // "get", "let", "set", "method"

struct Member {
    std::string_view name;
    MemberKind kind;
    std::vector<std::string_view> arguments;  // for Let and Set: the one value
    // Calls the member; arguments are passed by reference, so write-backs land in `args`.
    // Returns the property value for Get, Empty otherwise.
    std::function<Variant(clsvyx7&, std::span<Variant> args)> invoke;
};

QUARN7_API const std::vector<Member>& interface_members();
// The member `name` of `kind`, or nullptr.
QUARN7_API const Member* find_member(std::string_view name, MemberKind kind);

}  // namespace quarn7
