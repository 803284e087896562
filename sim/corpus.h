// The public spam corpus as the demo and the new-mail benchmark use it: its
// groups of good mail and spam, the fixed half that trains the filter and the
// half that arrives as new mail, in the order the mail server received it.
#pragma once

#include <mailstore/entry_id.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace olsim {

struct CorpusGroup {
    std::string name;  // the folder inside the corpus
    bool spam = false;
};

// The corpus's five groups: three of good mail, two of spam.
const std::vector<CorpusGroup>& SpamCorpusGroups();

struct CorpusMessage {
    std::filesystem::path file;
    bool spam = false;
};

struct CorpusSplit {
    std::vector<CorpusMessage> train;
    std::vector<CorpusMessage> test;
};

// Each group's messages (its "*.txt" files) sorted by name, byte by byte:
// the even-indexed (0, 2, ...) train, the odd-indexed test. A group that is
// missing makes the corpus unusable: nothing when one is.
std::optional<CorpusSplit> SplitCorpus(const std::filesystem::path& folder,
                                       const std::vector<CorpusGroup>& groups,
                                       std::string& problem);

// The message as a mail server hands it over: without the mailbox file's
// "From " envelope line that the corpus keeps in front of most messages.
mailstore::Bytes WithoutEnvelope(const mailstore::Bytes& file);

// When the message reached the mail server, in seconds since 1970 (UTC):
// the envelope line's time ("From sender Thu Aug 22 12:36:23 2002"), else
// the Date header's ("Thu, 22 Aug 2002 12:36:23 -0400"); nothing when
// neither can be read.
std::optional<std::int64_t> ArrivalTime(const mailstore::Bytes& file);

// The messages in the order of their arrival; those without a readable time
// come last. Ties keep the given order.
struct ArrivingMessage {
    CorpusMessage message;
    mailstore::Bytes bytes;  // as the server delivers it
    std::optional<std::int64_t> arrival;
};
std::vector<ArrivingMessage> InArrivalOrder(std::vector<ArrivingMessage> messages);

// The file's bytes; false when it cannot be read.
bool ReadFileBytes(const std::filesystem::path& file, mailstore::Bytes& bytes);

}  // namespace olsim
