#include "quarn7/variant.h"

#include <gtest/gtest.h>

#include "platform/conversions.h"
#include "support/errors.h"

namespace quarn7::testing {
namespace {

// A host's text box: its default property is its text.
class TextBox : public Object {
public:
    explicit TextBox(Variant text) : text_(std::move(text)) {}
    Variant default_value() const override { return text_; }

private:
    Variant text_;
};

class NoDefault : public Object {};

constexpr auto kTypeMismatch = ErrorNumber::TypeMismatch;
constexpr auto kOverflow = ErrorNumber::Overflow;

class VariantTest : public ::testing::Test {
protected:
    void SetUp() override { set_host_decimal_separator('.'); }
};

TEST_F(VariantTest, HoldsEachTypeUnderItsName) {
    const std::pair<Variant, const char*> cases[] = {
        {Variant(), "Empty"},
        {Variant(std::int16_t{1}), "Integer"},
        {Variant(std::int32_t{1}), "Long"},
        {Variant(1.0f), "Single"},
        {Variant(1.0), "Double"},
        {Variant("1"), "String"},
        {Variant(true), "Boolean"},
        {Variant(std::make_shared<NoDefault>()), "Object"},
    };
    for (const auto& [value, name] : cases) {
        EXPECT_EQ(type_name(value.type()), name);
        const bool numeric = value.type() == VarType::Integer || value.type() == VarType::Long ||
                             value.type() == VarType::Single || value.type() == VarType::Double;
        EXPECT_EQ(value.is_numeric(), numeric) << name;
    }
}

// One row per value: what each conversion gives, or the error it raises.
struct Row {
    Variant value;
    std::optional<double> number;  // to_double; nullopt: type mismatch
    std::optional<std::int16_t> integer;
    std::optional<ErrorNumber> integer_error;
    const char* text;
};

TEST_F(VariantTest, ConvertsEveryTypeWithAutomationRules) {
    const Row rows[] = {
        {Variant(), 0, 0, {}, ""},
        {Variant(std::int16_t{-7}), -7, -7, {}, "-7"},
        {Variant(std::int32_t{100000}), 100000, {}, kOverflow, "100000"},
        {Variant(std::int32_t{-32768}), -32768, -32768, {}, "-32768"},
        {Variant(2.5f), 2.5, 2, {}, "2.5"},
        {Variant(1.0f / 3), static_cast<double>(1.0f / 3), 0, {}, "0.3333333"},
        {Variant(3.5), 3.5, 4, {}, "3.5"},
        {Variant(-2.5), -2.5, -2, {}, "-2.5"},
        {Variant(32767.5), 32767.5, {}, kOverflow, "32767.5"},
        {Variant(1.0 / 3), 1.0 / 3, 0, {}, "0.333333333333333"},
        {Variant(1e16), 1e16, {}, kOverflow, "1E+16"},
        {Variant(" 12 "), 12, 12, {}, " 12 "},
        {Variant("4.5"), 4.5, 4, {}, "4.5"},
        {Variant("abc"), {}, {}, kTypeMismatch, "abc"},
        {Variant(""), {}, {}, kTypeMismatch, ""},
        {Variant(true), -1, -1, {}, "True"},
        {Variant(false), 0, 0, {}, "False"},
        {Variant(std::make_shared<TextBox>(Variant("41.5"))), 41.5, 42, {}, "41.5"},
        {Variant(std::make_shared<TextBox>(Variant(std::int16_t{9}))), 9, 9, {}, "9"},
    };
    for (const auto& row : rows) {
        const std::string label = type_name(row.value.type()).data() + std::string(" ") + row.text;
        if (row.number) {
            EXPECT_DOUBLE_EQ(row.value.to_double(), *row.number) << label;
        } else {
            EXPECT_EQ(error_of([&] { row.value.to_double(); }), kTypeMismatch) << label;
        }
        if (row.integer) {
            EXPECT_EQ(row.value.to_integer(), *row.integer) << label;
            EXPECT_EQ(row.value.to_long(), *row.integer) << label;
        } else {
            EXPECT_EQ(error_of([&] { row.value.to_integer(); }), row.integer_error) << label;
        }
        EXPECT_EQ(row.value.to_text(), row.text) << label;
    }
}

TEST_F(VariantTest, LongHasItsOwnRange) {
    EXPECT_EQ(Variant(std::int32_t{100000}).to_long(), 100000);
    EXPECT_EQ(Variant("2147483647").to_long(), 2147483647);
    EXPECT_EQ(Variant(2147483646.5).to_long(), 2147483646);
    EXPECT_EQ(error_of([] { Variant(2147483647.5).to_long(); }), kOverflow);
    EXPECT_EQ(error_of([] { Variant("-2147483649").to_long(); }), kOverflow);
}

TEST_F(VariantTest, SingleRoundsToFloatAndOverflowsBeyondIt) {
    EXPECT_EQ(Variant(0.1).to_single(), 0.1f);
    EXPECT_EQ(Variant("16777217").to_single(), 16777216.0f);
    EXPECT_EQ(error_of([] { Variant(1e300).to_single(); }), kOverflow);
}

TEST_F(VariantTest, BooleanFromNumbersAndTexts) {
    const std::pair<Variant, bool> cases[] = {
        {Variant(), false},        {Variant(std::int16_t{0}), false},
        {Variant(0.5), true},      {Variant("True"), true},
        {Variant("false"), false}, {Variant("TRUE"), true},
        {Variant("0"), false},     {Variant("-1"), true},
        {Variant(true), true},     {Variant(std::make_shared<TextBox>(Variant("True"))), true},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(value.to_bool(), expected) << value.to_text();
    EXPECT_EQ(error_of([] { Variant("yes").to_bool(); }), kTypeMismatch);
}

TEST_F(VariantTest, TextAndNumbersFollowTheHostSeparator) {
    set_host_decimal_separator(',');
    EXPECT_EQ(Variant(2.5).to_text(), "2,5");
    EXPECT_EQ(Variant(0.1f).to_text(), "0,1");
    EXPECT_DOUBLE_EQ(Variant("2,5").to_double(), 2.5);
    EXPECT_EQ(Variant("2,5").to_integer(), 2);
    EXPECT_EQ(error_of([] { Variant("2.5").to_double(); }), kTypeMismatch);
    EXPECT_EQ(Variant(std::make_shared<TextBox>(Variant("0,75"))).to_single(), 0.75f);
}

TEST_F(VariantTest, ObjectsWithoutADefaultPropertyMismatch) {
    const Variant no_default(std::make_shared<NoDefault>());
    EXPECT_EQ(error_of([&] { no_default.to_double(); }), kTypeMismatch);
    EXPECT_EQ(error_of([&] { no_default.to_text(); }), kTypeMismatch);
    EXPECT_EQ(error_of([&] { no_default.to_bool(); }), kTypeMismatch);
    EXPECT_NE(no_default.object(), nullptr);

    const Variant nothing(std::shared_ptr<Object>{});
    EXPECT_EQ(nothing.type(), VarType::Object);
    EXPECT_EQ(error_of([&] { nothing.to_text(); }), ErrorNumber::ObjectNotSet);
}

}  // namespace
}  // namespace quarn7::testing
