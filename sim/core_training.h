// Teaching the filter core from mail files, as a user's votes would: the
// core's own "Brevint.Filter" object in Outlook's process, so that the add-in
// judges with what was learnt.
#pragma once

#include <atlbase.h>
#include <windows.h>

#include <mailstore/model.h>

#include <optional>
#include <string>

namespace brevint_core {
struct IFilter;
}

namespace olsim {

// The filter core's two votes.
inline constexpr LONG kSpamVote = 100;
inline constexpr LONG kGoodVote = -100;

// Votes each message, in the ANSI code page as the add-in hands mail to the
// core. False with the reason when the core cannot be created or refuses a vote.
class CoreTrainer {
  public:
    CoreTrainer();
    ~CoreTrainer();
    CoreTrainer(const CoreTrainer&) = delete;
    CoreTrainer& operator=(const CoreTrainer&) = delete;

    bool Vote(const mailstore::Bytes& message, LONG vote, std::string& error);
    // The core's score of a message, 0 (good) to 100 (spam); nothing when the
    // core cannot be created or fails.
    std::optional<LONG> Score(const mailstore::Bytes& message);

  private:
    bool Filter(std::string& error);  // creates the core's object on first use

    CComPtr<brevint_core::IFilter> m_filter;  // the core's IFilter, created on first use
};

}  // namespace olsim
