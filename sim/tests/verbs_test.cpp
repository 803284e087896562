// The tables of the scenario language against their reference: every
// command, expectation and profile setting is documented, and the usage that
// `olsim help` prints names each of them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "verbs.h"

namespace {

std::string Reference() {
    std::ifstream in(OLSIM_SCENARIO_DOC);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(ScenarioVerbs, EveryRowOfTheTablesIsDocumented) {
    const std::string reference = Reference();
    ASSERT_FALSE(reference.empty()) << "cannot read " << OLSIM_SCENARIO_DOC;
    // A command's usage in backticks: "`close N`", "`quit`".
    auto documents = [&](const std::string& name) {
        return reference.find("`" + name + " ") != std::string::npos ||
               reference.find("`" + name + "`") != std::string::npos;
    };
    for (const auto& command : olsim::Commands())
        EXPECT_TRUE(documents(command.name))
            << "the command '" << command.name << "' is not in " << OLSIM_SCENARIO_DOC;
    for (const auto& expectation : olsim::Expectations())
        EXPECT_NE(reference.find(std::string("`expect ") + expectation.name), std::string::npos)
            << "no line documents 'expect " << expectation.name << "'";
    for (const auto& setting : olsim::ProfileSettings())
        EXPECT_NE(reference.find(std::string("`profile ") + setting.name), std::string::npos)
            << "no line documents 'profile " << setting.name << "'";
}

TEST(ScenarioVerbs, TheUsageNamesEveryRowOnceUnderItsHeading) {
    const std::string usage = olsim::UsageText();
    const size_t expectations = usage.find("Expectations:");
    const size_t profile = usage.find("Profile lines:");
    ASSERT_LT(usage.find("Commands:"), expectations);
    ASSERT_LT(expectations, profile);
    for (const auto& command : olsim::Commands())
        EXPECT_LT(usage.find(std::string("\n  ") + command.name), expectations) << command.name;
    for (const auto& setting : olsim::ProfileSettings())
        EXPECT_NE(usage.find(std::string("\n  profile ") + setting.name, profile),
                  std::string::npos)
            << setting.name;
    for (const auto& expectation : olsim::Expectations())
        EXPECT_EQ(olsim::FindExpectation(expectation.name), &expectation);
}
