// The controller's link members: port object, port number, open and close, diagnostics, panel.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using LinkMembers = ControllerTest;

TEST_F(LinkMembers, OpenWritesTheLineSettingsEveryTime) {
    port->Settings("9600,n,8,1");
    port->Handshaking(2);
    open();
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(port->opened_settings(), "19200,o,8,1");
    EXPECT_EQ(port->opened_handshaking(), 0);
}

TEST_F(LinkMembers, OpeningAnOpenPortTouchesNothing) {
    open();
    port->Settings("9600,n,8,1");
    open();
    EXPECT_EQ(port->opens(), 1);
    EXPECT_EQ(port->Settings(), "9600,n,8,1");
    EXPECT_THAT(messages, IsEmpty());

    diagnostics_on();
    open();
    close();
    close();
    EXPECT_THAT(messages, ElementsAre("Already open", "Already closed"));
}

TEST_F(LinkMembers, FailedOpenIsReportedOnlyByMessageBox) {
    port->refuse_open(ErrorNumber::NoSuchDevice);
    open();
    EXPECT_FALSE(port->PortOpen());
    EXPECT_THAT(messages, IsEmpty());
    EXPECT_FALSE(de->last_open_error().empty());

    diagnostics_on();
    open();
    EXPECT_THAT(messages, ElementsAre("Illegal port number"));
}

TEST_F(LinkMembers, PortNumberChangesOnlyWhileClosed) {
    Variant three(std::int16_t{3});
    de->Poort_nummer(three);
    EXPECT_EQ(de->Poort_nummer(), Variant(std::int16_t{3}));
    open();
    EXPECT_EQ(port->opened_port(), 3);
    Variant five(std::int16_t{5});
    de->Poort_nummer(five);
    EXPECT_EQ(de->Poort_nummer(), Variant(std::int16_t{3}));
}

TEST(LinkMembersWithoutPort, EveryPortMemberRaisesObjectNotSet) {
    clsvyx7 de;
    Variant yes(true);
    Variant number(std::int16_t{2});
    EXPECT_EQ(error_of([&] { de.Poort_nummer(); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de.Poort_nummer(number); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de.OpenClose(yes); }), ErrorNumber::ObjectNotSet);
}

TEST(LinkMembersWithoutPort, PortObjectMustBeASerialPort) {
    auto de = std::make_shared<clsvyx7>();
    Variant controller(std::static_pointer_cast<Object>(de));
    EXPECT_EQ(error_of([&] { de->mvarComObject(controller); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(de->mvarComObject().object(), nullptr);
}

TEST(LinkMembersWithoutPort, RegelAndKolomKeepWhatTheHostWrote) {
    clsvyx7 de;
    Variant seven("7");
    de.regel(seven);
    Variant too_big(70000);
    EXPECT_EQ(error_of([&] { de.kolom(too_big); }), ErrorNumber::Overflow);
    EXPECT_EQ(de.regel(), Variant(std::int16_t{7}));
    EXPECT_EQ(de.kolom(), Variant(std::int16_t{0}));
}

TEST(Settings, NeedsAControllerAndAnInstalledPanel) {
    auto de = std::make_shared<clsvyx7>();
    Variant text("panel");
    EXPECT_EQ(error_of([&] { de->settings(text); }), ErrorNumber::TypeMismatch);

    Variant self(std::static_pointer_cast<Object>(de));
    set_panel_opener(nullptr);
    EXPECT_EQ(error_of([&] { de->settings(self); }), ErrorNumber::PanelUnavailable);

    std::shared_ptr<clsvyx7> shown;
    set_panel_opener([&](std::shared_ptr<clsvyx7> c) { shown = std::move(c); });
    de->settings(self);
    EXPECT_EQ(shown, de);
    set_panel_opener(nullptr);
}

}  // namespace
}  // namespace quarn7::testing
