// DiskServiceHelper (property lists, server types, raised exceptions and
// their texts, number reading) and diagnostic logging (the classic locale,
// the logger fetched anew for each message, the in-core trace ring).
#include "LogCapture.h"

#include "DiskServiceHelper.h"
#include "dsmlib_internal.h"
#include "dsmlib_log.h"

#include <gtest/gtest.h>

#include <ace/OS_NS_unistd.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <locale>
#include <string>
#include <tuple>
#include <vector>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;
namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
using H = DiskServiceHelper;

namespace {

using Texts = std::vector<std::string>;

DS::PropertySeq props(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    DS::PropertySeq list;
    for (auto& p : pairs) H::addProperty(list, p.first, p.second);
    return list;
}

std::string value_of(const DS::PropertySeq& list, const char* name) {
    CORBA::String_var v = H::getPropertyByName(list, name);
    return v.in() ? std::string(v.in()) : std::string("<absent>");
}

// Runs 'fn', which must raise T, and returns the exception.
template <class T, class Fn>
T raised(Fn fn) {
    try {
        fn();
    } catch (const T& e) {
        return e;
    }
    ADD_FAILURE() << "expected " << T::_PD_repoId;
    return T();
}

// A locale whose numbers group by thousands, as a caller's process may set.
struct Grouping : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

std::string slot(unsigned sequence) { return dsm::ictr_snapshot()[sequence % dsm::kTraceLines]; }

unsigned next_sequence() {
    unsigned next = 0;
    dsm::ictr_snapshot(&next);
    return next;
}

}  // namespace

// Lookup takes the first valid entry, passing over null elements and entries
// with a null name; update changes the first entry only, appending on request.
TEST(HelperProperties, LookupUpdateAndMissingArguments) {
    DS::PropertySeq list = props({{"DSM::flags", "1"}, {"DSM::flags", "2"}, {"other", "x"}});
    EXPECT_EQ(value_of(list, "DSM::flags"), "1");
    EXPECT_EQ(value_of(list, "dsm::flags"), "<absent>") << "names compare case-sensitively";
    EXPECT_EQ(value_of(list, "DSM::flag"), "<absent>") << "whole names only";
    DS::PropertySeq broken;
    broken.length(3);
    broken[1] = new OBV_DS::Property;  // empty name and value
    broken[2] = H::buildProperty("DSM::state", "3");
    EXPECT_EQ(value_of(broken, "DSM::state"), "3");

    H::updateProperty(list, "DSM::flags", "9", false);
    H::updateProperty(list, "c", "4", false);
    EXPECT_EQ(list.length(), 3u) << "no append without the add flag";
    H::updateProperty(list, "c", "4", true);
    ASSERT_EQ(list.length(), 4u);
    EXPECT_EQ((Texts{list[0]->value(), list[1]->value(), list[3]->name(), list[3]->value()}),
              (Texts{"9", "2", "c", "4"}));

    // A missing argument raises IllegalArgument naming it; nothing is appended.
    auto e = raised<FW::IllegalArgumentException>([&] { H::addProperty(list, "n", nullptr); });
    ASSERT_TRUE(e.details.in() && e.details->message());
    const FW::IllegalArgumentExceptionDetails& d = *e.details;
    EXPECT_EQ((Texts{d.argumentName(), d.originatingClass(), d.originatingService()}),
              (Texts{"value", "DiskServiceHelper", "DiskService"}));
    EXPECT_EQ(std::make_pair(d.message()->textId(), d.message()->originatorId()), std::make_pair(18, 178));
    EXPECT_EQ(std::string(d.originatingMethod()).rfind("addProperty():", 0), 0u);
    EXPECT_EQ(list.length(), 4u);

    e = raised<FW::IllegalArgumentException>([&] { H::getPropertyByName(list, nullptr); });
    EXPECT_STREQ(e.details->argumentName(), "name");
    e = raised<FW::IllegalArgumentException>([&] { H::updateProperty(list, nullptr, "v", true); });
    EXPECT_STREQ(e.details->argumentName(), "name");
}

TEST(HelperServerTypes, NamesAndSubtypesBothWays) {
    struct Row { const char* name; int subtype; bool known; };
    const Row rows[] = {{"LegacyDisk", 0, true}, {"BasicDisk", 1, true}, {"NearStore", 2, true},
                        {"SnapVault", 3, true},  {"SANDisk", 6, true},   {"AdvancedDisk", 6, false},
                        {"basicdisk", 6, false}, {"", 6, false}};
    for (const Row& r : rows) {
        EXPECT_EQ(H::identifyStuSubtype(r.name), r.subtype) << r.name;
        EXPECT_EQ(H::isKnownServerType(r.name), r.known) << r.name;
    }
    for (int known = 0; known < 4; ++known) EXPECT_STREQ(H::identifyStuServerType(known), rows[known].name);
    for (int other : {4, -1}) EXPECT_STREQ(H::identifyStuServerType(other), "DiskPool");
}

// Message numbers exist only in the disk service domain: the first and last
// row of the table and a code between rows. Detail texts name the domains;
// the one of the disk service itself is checked in test_frame.cpp.
TEST(HelperExceptions, MessageNumbersAndDomainNames) {
    const std::pair<int, int> table[] = {{2050001, 20}, {2050029, 26}, {2050013, -1}};
    for (auto& [status, msg] : table) EXPECT_EQ(H::mapError2Message(1, status), msg) << status;
    EXPECT_EQ(H::mapError2Message(2, 2050001), -1);

    DS::DiskServiceExceptionDetails_var d = new OBV_DS::DiskServiceExceptionDetails;
    d->errorDomain(4);
    d->errorCode(7);
    d->errorText("busy");
    d->originatingMethod("m");
    FW::ServiceException sts(d._retn());
    EXPECT_EQ(H::exceptionDetailText(sts),
              "ServiceException:\n method=m errorDomain=STS errorCode=7 errorText=busy");
    DS::DiskServiceExceptionDetails_var other = new OBV_DS::DiskServiceExceptionDetails;
    other->errorDomain(9);
    other->errorCode(0);
    FW::ServiceException unnamed(other._retn());
    EXPECT_EQ(H::exceptionDetailText(unnamed), "ServiceException:\n errorDomain= errorCode=0 errorText=");
    EXPECT_EQ(H::localizedMessage(FW::ServiceException(), "C"), "ServiceException");
}

TEST(HelperExceptions, ServiceExceptionCarriesOriginAndMessageAndLeavesATrace) {
    const unsigned before = next_sequence();
    auto e = raised<FW::ServiceException>([] {
        H::throwSvcException(1, 2050001, "Property", "DiskServiceHelper", "buildProperty", 77, 20,
                             "Property");
    });
    auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
    ASSERT_TRUE(d && d->message());
    char host[256] = {0};
    ACE_OS::hostname(host, sizeof host);
    EXPECT_EQ((Texts{d->errorText(), d->originatingMethod(), d->originatingHost()}),
              (Texts{"Property", "buildProperty():77", host}));
    EXPECT_EQ(std::make_tuple(d->errorCode(), d->errorDomain(), d->message()->textId()),
              std::make_tuple(2050001, 1, 20));
    EXPECT_GT(d->timeStamp(), 1700000000);
    ASSERT_EQ(d->message()->inserts().length(), 1u);
    auto* item = FW::StringMessageItem::_downcast(d->message()->inserts()[0]);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->position(), 0);
    EXPECT_EQ((Texts{item->name(), item->stringValue()}), (Texts{"Property", "Property"}));

    ASSERT_EQ(next_sequence(), (before + 1) % 65536);
    const std::string line = slot(before);
    EXPECT_NE(line.find("throwSvcException"), std::string::npos) << line;
    EXPECT_NE(line.find("buildProperty"), std::string::npos) << line;
}

TEST(HelperExceptions, LocalizedMessageTranslatesInsertsOrSaysWhy) {
    auto e = raised<FW::ServiceException>(
        [] { H::throwSvcException(1, 2050001, "Property", "C", "m", 1, 20, "Property"); });
    const std::string text = H::localizedMessage(e, "C");
    EXPECT_NE(text.find("Property"), std::string::npos) << text;
    EXPECT_EQ(text.find("Unable to translate"), std::string::npos) << text;

    EXPECT_EQ(H::localizedMessage(e, "xx_XX"),
              "Unable to translate localized message: Originator ID = 178 Message ID = 20");

    // An insert that is neither a string nor a number is left out.
    auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
    FW::MessageItemSeq& inserts = d->message()->inserts();
    FW::MessageItem* first = inserts[0];
    CORBA::add_ref(first);
    inserts.length(2);
    inserts[1] = first;  // adopts the reference added above
    inserts[0] = new OBV_Orvane::Keldra::TL::Framework::MessageItem;
    EXPECT_EQ(H::localizedMessage(e, "C"), text);
}

TEST(HelperNumbers, ReadLikeAClassicStreamAndNeverOverflowIntoUndefined) {
    EXPECT_EQ(H::toInt64(nullptr), 0);
    EXPECT_EQ(H::toInt64("  42abc"), 42);
    EXPECT_EQ(H::toInt64("1,234"), 1) << "no digit grouping";
    EXPECT_EQ(H::toInt64("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(H::toUInt64("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(H::toLong("3000000000"), std::numeric_limits<CORBA::Long>::max());

    EXPECT_EQ(H::toAtoi("  -12x"), -12);
    EXPECT_EQ(H::toAtoi("x7"), 0);
    EXPECT_EQ(H::toAtoi("99999999999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(H::toAtoi("-99999999999999999999"), std::numeric_limits<int>::min());

    EXPECT_EQ(H::toText(-9223372036854775807LL - 1), "-9223372036854775808");
    EXPECT_EQ(H::toTextUnsigned(18446744073709551615ULL), "18446744073709551615");
}

// Messages are composed in the classic locale whatever the process says,
// and the logging function is fetched anew for each message.
TEST(Logging, ClassicLocaleAndTheLoggerFetchedForEveryMessage) {
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new Grouping));
    CORBA::Long out = 0;
    {
        LogCapture capture;
        EXPECT_EQ(dsmlibp_db_mode(1234567, &out), DSM_E_INVALID_ARG);
        std::locale::global(saved);
        EXPECT_TRUE(capture.has("Unknown dsm_dbmode (dbmode=1234567)", DSM_SEV_ERROR, "dsmlibp_db_mode"))
            << capture.dump();
        ASSERT_EQ(capture.lines().size(), 1u);
        EXPECT_EQ(capture.lines()[0].source, "dsmlib_common");
        EXPECT_FALSE(capture.lines()[0].has_localized);
    }
    // With the do-nothing logger installed the same call behaves the same.
    dsmlib_set_logger(nullptr, nullptr);
    EXPECT_EQ(dsmlibp_db_mode(7, &out), DSM_E_INVALID_ARG);
    LogCapture second;
    dsmlibp_db_mode(8, &out);
    ASSERT_EQ(second.lines().size(), 1u);
    EXPECT_EQ(second.lines()[0].text, "Unknown dsm_dbmode (dbmode=8)");
}

// A line's format, its texts cut to their widths, a null text; the 129th
// line overwrites the first slot; the sequence wraps at 65536.
TEST(TraceRing, LineFormatOverwriteAndWrap) {
    const unsigned seq = next_sequence();
    dsm::ictr_trace("DSM", "first-text-of-thirty-chars-xx", "second-text-of-thirty-chars", nullptr);
    char expected[128];
    std::snprintf(expected, sizeof expected, "ICTR-DSM  %5u <%s | %s | %16s>", seq,
                  "first-text-of-thirty-cha", "second-text-of-t", "NULL");
    EXPECT_EQ(slot(seq), expected);
    EXPECT_EQ(slot(seq).size(), 80u) << "a line fills its 81-byte slot with the terminator";

    while (next_sequence() % dsm::kTraceLines != 0) dsm::ictr_trace("T", "pad", "", "");
    const unsigned base = next_sequence();
    for (int i = 0; i <= dsm::kTraceLines; ++i) dsm::ictr_trace("T", "round", "", "");
    EXPECT_NE(slot(base).find(std::to_string(base + dsm::kTraceLines) + " <"), std::string::npos)
        << slot(base);

    while (next_sequence() != 0) dsm::ictr_trace("T", "wrap", "", "");
    dsm::ictr_trace("T", "after-wrap", "", "");
    EXPECT_EQ(slot(0).substr(0, 17), "ICTR-T        0 <") << slot(0);
    EXPECT_EQ(next_sequence(), 1u);
}
