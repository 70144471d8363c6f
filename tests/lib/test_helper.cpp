// DiskServiceHelper: property lists, server type names, raised exceptions,
// their texts and translations, and number reading.
#include "DiskServiceHelper.h"
#include "dsmlib_log.h"

#include <gtest/gtest.h>

#include <ace/OS_NS_unistd.h>

#include <cstdint>
#include <limits>
#include <string>

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;
using H = DiskServiceHelper;

namespace {

DS::PropertySeq props(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    DS::PropertySeq list;
    for (auto& p : pairs) H::addProperty(list, p.first, p.second);
    return list;
}

std::string value_of(const DS::PropertySeq& list, const char* name) {
    CORBA::String_var v = H::getPropertyByName(list, name);
    return v.in() ? std::string(v.in()) : std::string("<absent>");
}

std::string hostname() {
    char name[256] = {0};
    ACE_OS::hostname(name, sizeof name);
    return name;
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

}  // namespace

TEST(HelperProperties, LookupTakesFirstValidEntryAndSkipsBrokenOnes) {
    DS::PropertySeq list = props({{"DSM::flags", "1"}, {"DSM::flags", "2"}, {"other", "x"}});
    EXPECT_EQ(value_of(list, "DSM::flags"), "1");
    EXPECT_EQ(value_of(list, "missing"), "<absent>");
    EXPECT_EQ(value_of(list, "dsm::flags"), "<absent>") << "names compare case-sensitively";
    EXPECT_EQ(value_of(list, "DSM::flag"), "<absent>") << "whole names only";

    // Null elements and entries with a null name are passed over.
    DS::PropertySeq broken;
    broken.length(3);
    broken[1] = new OBV_Orvane::Keldra::DL::DiskService::Property;  // empty name and value
    broken[2] = H::buildProperty("DSM::state", "3");
    EXPECT_EQ(value_of(broken, "DSM::state"), "3");
    EXPECT_EQ(value_of(DS::PropertySeq(), "DSM::state"), "<absent>");
}

TEST(HelperProperties, AddAppendsAndUpdateChangesFirstOrAppendsOnRequest) {
    DS::PropertySeq list = props({{"a", "1"}, {"b", "2"}, {"a", "3"}});
    H::updateProperty(list, "a", "9", false);
    ASSERT_EQ(list.length(), 3u);
    EXPECT_STREQ(list[0]->value(), "9");
    EXPECT_STREQ(list[2]->value(), "3") << "only the first entry changes";

    H::updateProperty(list, "c", "4", false);
    EXPECT_EQ(list.length(), 3u) << "no append without the add flag";
    H::updateProperty(list, "c", "4", true);
    ASSERT_EQ(list.length(), 4u);
    EXPECT_STREQ(list[3]->name(), "c");
    EXPECT_STREQ(list[3]->value(), "4");
}

TEST(HelperProperties, MissingArgumentsRaiseIllegalArgumentNamingThem) {
    DS::PropertySeq list;
    auto e = raised<FW::IllegalArgumentException>([&] { H::addProperty(list, "n", nullptr); });
    ASSERT_TRUE(e.details.in());
    EXPECT_STREQ(e.details->argumentName(), "value");
    EXPECT_STREQ(e.details->originatingClass(), "DiskServiceHelper");
    EXPECT_STREQ(e.details->originatingService(), "DiskService");
    EXPECT_EQ(std::string(e.details->originatingMethod()).rfind("addProperty():", 0), 0u);
    ASSERT_TRUE(e.details->message());
    EXPECT_EQ(e.details->message()->textId(), 18);
    EXPECT_EQ(e.details->message()->originatorId(), 178);
    EXPECT_EQ(list.length(), 0u) << "nothing appended";

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
    EXPECT_EQ(H::identifyStuSubtype(nullptr), 0);
    EXPECT_FALSE(H::isKnownServerType(nullptr));

    EXPECT_STREQ(H::identifyStuServerType(0), "LegacyDisk");
    EXPECT_STREQ(H::identifyStuServerType(1), "BasicDisk");
    EXPECT_STREQ(H::identifyStuServerType(2), "NearStore");
    EXPECT_STREQ(H::identifyStuServerType(3), "SnapVault");
    for (int other : {4, 5, 6, -1, 1000}) EXPECT_STREQ(H::identifyStuServerType(other), "DiskPool");
}

TEST(HelperExceptions, MessageNumbersOnlyForTheDiskServiceDomain) {
    const std::pair<int, int> table[] = {{2050001, 20}, {2050010, 8},  {2050011, 23},
                                         {2050012, 27}, {2050020, 22}, {2050023, 24},
                                         {2050028, 25}, {2050029, 26}, {2050013, -1}};
    for (auto& [status, msg] : table) EXPECT_EQ(H::mapError2Message(1, status), msg) << status;
    EXPECT_EQ(H::mapError2Message(2, 2050001), -1);
    EXPECT_EQ(H::mapError2Message(0, 2050010), -1);
}

TEST(HelperExceptions, ServiceExceptionCarriesOriginMessageAndDetailText) {
    unsigned before = 0;
    dsm::ictr_snapshot(&before);
    auto e = raised<FW::ServiceException>([] {
        H::throwSvcException(1, 2050001, "Property", "DiskServiceHelper", "buildProperty", 77, 20,
                             "Property");
    });
    auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->errorCode(), 2050001);
    EXPECT_EQ(d->errorDomain(), 1);
    EXPECT_STREQ(d->errorText(), "Property");
    EXPECT_STREQ(d->originatingMethod(), "buildProperty():77");
    EXPECT_EQ(std::string(d->originatingHost()), hostname());
    EXPECT_GT(d->timeStamp(), 1700000000);
    ASSERT_TRUE(d->message());
    EXPECT_EQ(d->message()->textId(), 20);
    ASSERT_EQ(d->message()->inserts().length(), 1u);
    auto* item = FW::StringMessageItem::_downcast(d->message()->inserts()[0]);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->position(), 0);
    EXPECT_STREQ(item->name(), "Property");
    EXPECT_STREQ(item->stringValue(), "Property");

    EXPECT_EQ(H::exceptionDetailText(e),
              "ServiceException:\n method=buildProperty():77 class=DiskServiceHelper "
              "service=DiskService host=" + hostname() +
                  " errorDomain=DSM errorCode=2050001 errorText=Property");

    // The raise left its trace in the in-core ring.
    unsigned after = 0;
    auto ring = dsm::ictr_snapshot(&after);
    ASSERT_EQ(after, (before + 1) % 65536);
    const std::string& line = ring[before % dsm::kTraceLines];
    EXPECT_NE(line.find("throwSvcException"), std::string::npos) << line;
    EXPECT_NE(line.find("buildProperty"), std::string::npos) << line;
}

TEST(HelperExceptions, DetailTextNamesDomainsAndSkipsForeignDetails) {
    DS::DiskServiceExceptionDetails_var d = new OBV_Orvane::Keldra::DL::DiskService::DiskServiceExceptionDetails;
    d->errorDomain(4);
    d->errorCode(7);
    d->errorText("busy");
    d->originatingMethod("m");
    FW::ServiceException sts(d._retn());
    EXPECT_EQ(H::exceptionDetailText(sts), "ServiceException:\n method=m errorDomain=STS errorCode=7 errorText=busy");

    DS::DiskServiceExceptionDetails_var other = new OBV_Orvane::Keldra::DL::DiskService::DiskServiceExceptionDetails;
    other->errorDomain(9);
    other->errorCode(0);
    FW::ServiceException unnamed(other._retn());
    EXPECT_EQ(H::exceptionDetailText(unnamed), "ServiceException:\n errorDomain= errorCode=0 errorText=");

    FW::ErrorCodeExceptionDetails_var plain = new OBV_Orvane::Keldra::TL::Framework::ErrorCodeExceptionDetails;
    plain->errorCode(5);
    EXPECT_EQ(H::exceptionDetailText(FW::ServiceException(plain._retn())), "ServiceException");
    EXPECT_EQ(H::localizedMessage(FW::ServiceException(), "C"), "ServiceException");
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
    EXPECT_EQ(H::toInt64(""), 0);
    EXPECT_EQ(H::toInt64("abc"), 0);
    EXPECT_EQ(H::toInt64("  42abc"), 42);
    EXPECT_EQ(H::toInt64("-5"), -5);
    EXPECT_EQ(H::toInt64("1,234"), 1) << "no digit grouping";
    EXPECT_EQ(H::toInt64("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(H::toUInt64("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(H::toUInt64("x"), 0u);
    EXPECT_EQ(H::toLong("3000000000"), std::numeric_limits<CORBA::Long>::max());
    EXPECT_EQ(H::toInt("-12"), -12);

    EXPECT_EQ(H::toAtoi("  -12x"), -12);
    EXPECT_EQ(H::toAtoi("+7"), 7);
    EXPECT_EQ(H::toAtoi("x7"), 0);
    EXPECT_EQ(H::toAtoi("99999999999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(H::toAtoi("-99999999999999999999"), std::numeric_limits<int>::min());

    EXPECT_EQ(H::toText(-9223372036854775807LL - 1), "-9223372036854775808");
    EXPECT_EQ(H::toTextUnsigned(18446744073709551615ULL), "18446744073709551615");
}
