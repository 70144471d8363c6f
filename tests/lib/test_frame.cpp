// The shared call frame: argument checks in parameter order, and every row
// of the status table provoked through the bundled service. Stand-ins for
// the host's cell function and for operator new make the argument library
// and a population fail.
#include "LogCapture.h"
#include "ServiceFixture.h"

#include "Brenlow.h"
#include "brnwlog.h"
#include "dsmlib_frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

namespace {

// When set, the host's cell function answers with this status after filling the cell.
std::optional<int> g_status;
// The next allocation of this many bytes fails: a request value's population fails no other way.
std::atomic<std::size_t> g_fail_size{0};

const char* kProbe = "probe_diskgroupinfo";

// A function shaped like every exported one: checks, connection,
// population, one operation, null check.
int probe_diskgroupinfo(const char* name, const int* count, int db_mode) {
    const dsm::Frame f(kProbe, "test_frame", __LINE__);
    return f.run([&] {
        DSM_REQUIRE(f, name);
        DSM_REQUIRE(f, count);
        DSM_REQUIRE_COUNT(f, *count);
        DSM_CONNECT(f, dsm);
        DS::DiskGroup_var pool = new OBV_DS::DiskGroup;
        pool->name(name);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getDiskGroupInfo", __LINE__);
        DS::DiskGroupInfo_var info = dsm->getDiskGroupInfo(pool.in(), mode);
        if (!info.in()) return f.nullResult("getDiskGroupInfo", "DiskGroupInfo", __LINE__);
        return DSM_OK;
    });
}

const int kCounts[] = {-3, 0};

int probe() { return probe_diskgroupinfo("pool1", &kCounts[1], 1); }

FW::ServiceExceptionDetails_var disk_details(CORBA::Long code, CORBA::Long domain) {
    DS::DiskServiceExceptionDetails_var d = new OBV_DS::DiskServiceExceptionDetails;
    d->originatingService("DiskService");
    d->originatingClass("PoolStore");
    d->originatingMethod("find():12");
    d->originatingHost("127.0.0.1");
    d->errorCode(code);
    d->errorDomain(domain);
    d->errorText("disk pool not found");
    FW::Message_var m = new OBV_FW::Message;
    m->textId(8);
    m->originatorId(178);
    d->message(m.in());
    return d._retn();
}

class Frame : public dsmtest::ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        ASSERT_EQ(dsmlib_ping(), DSM_OK);  // connected before any capture
    }
};

}  // namespace

extern "C" int brnwLisAny_longlong(brnwLisAny_t* any, long long value) {
    static const auto real =
        reinterpret_cast<int (*)(brnwLisAny_t*, long long)>(dlsym(RTLD_NEXT, "brnwLisAny_longlong"));
    const int status = real(any, value);
    return g_status ? *g_status : status;
}

void* operator new(std::size_t n) {
    static const auto real = reinterpret_cast<void* (*)(std::size_t)>(dlsym(RTLD_NEXT, "_Znwm"));
    if (n != 0 && n == g_fail_size && g_fail_size.exchange(0) == n) throw std::bad_alloc();
    return real(n);
}

TEST_F(Frame, ArgumentsAreCheckedInParameterOrderBeforeConnecting) {
    // One line each: no "Calling dsm->" trace, so nothing was sent.
    LogCapture capture;
    EXPECT_EQ(probe_diskgroupinfo(nullptr, nullptr, 1), DSM_E_INVALID_ARG);
    ASSERT_EQ(capture.lines().size(), 1u) << capture.dump();
    EXPECT_TRUE(capture.has("Input argument 'name' is NULL", DSM_SEV_ERROR, kProbe));

    capture.clear();
    EXPECT_EQ(probe_diskgroupinfo("p", &kCounts[0], 1), DSM_E_INVALID_ARG);
    ASSERT_EQ(capture.lines().size(), 1u) << capture.dump();
    EXPECT_TRUE(capture.has("Input argument '*count' is negative (-3)", DSM_SEV_ERROR, kProbe));

    // An unknown database mode is found after connecting, still before the call.
    EXPECT_EQ(probe_diskgroupinfo("p", &kCounts[1], 5), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Failed to convert DbMode (error=2050200)", DSM_SEV_ERROR, kProbe));
    EXPECT_EQ(control()->callCount("getDiskGroupInfo"), 0);
}

// Each failure of the call: its status and every line logged, in order, as
// (text, severity, whether a localized text is given).
TEST_F(Frame, EveryFailureOfTheCallGivesItsStatusAndExplains) {
    FW::ErrorCodeExceptionDetails_var plain = new OBV_FW::ErrorCodeExceptionDetails;
    plain->errorCode(2050012);
    FW::IllegalArgumentExceptionDetails_var ia = new OBV_FW::IllegalArgumentExceptionDetails;
    ia->argumentName("pool");
    ia->originatingMethod("getDiskGroupInfo():3");
    using Seen = std::tuple<std::string, int, bool>;
    const Seen failed{"Failed to extract error code from ServiceExeption", DSM_SEV_FATAL, false};
    const std::string origin =
        "ServiceException:\n method=find():12 class=PoolStore service=DiskService host=127.0.0.1 ";
    const char* op = "getDiskGroupInfo";
    const std::tuple<std::function<void()>, int, std::vector<Seen>> cases[] = {
        {[&] { control()->failWithServiceException(op, 1, disk_details(2050012, 1).in()); }, 2050012,
         {{origin + "errorDomain=DSM errorCode=2050012 errorText=disk pool not found", DSM_SEV_ERROR, true}}},
        {[&] { control()->failWithServiceException(op, 1, plain.in()); }, -1,
         {{"ServiceException", DSM_SEV_ERROR, true}, failed}},
        // A negative code in disk service details is reported the same way.
        {[&] { control()->failWithServiceException(op, 1, disk_details(-7, 2).in()); }, -7,
         {{origin + "errorDomain=EMM errorCode=-7 errorText=disk pool not found", DSM_SEV_ERROR, true},
          failed}},
        {[&] { control()->failWithIllegalArgument(op, 1, ia.in()); }, DSM_E_INVALID_ARG,
         {{"IllegalArgumentException:\n method=getDiskGroupInfo():3", DSM_SEV_ERROR, true}}},
        {[&] { control()->failWithSystemException(op, 1, DsmControl::SYS_NO_MEMORY); }, DSM_E_CORBA,
         {{"CORBA exception: NO_MEMORY (minor=0, completed=NO)", DSM_SEV_FATAL, false}}},
        {[&] { control()->returnNull(op, 1); }, DSM_E_NULL_RESULT,
         {{"getDiskGroupInfo returned NULL DiskGroupInfo", DSM_SEV_ERROR, false}}},
        // The fixture's configuration bounds calls at 3 s.
        {[&] { control()->delayReply(op, 1, 6000); }, DSM_E_CORBA,
         {{"CORBA exception: TIMEOUT (minor=1096024072, completed=MAYBE)", DSM_SEV_FATAL, false}}},
    };
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& [fail, status, lines] : cases) {
        SCOPED_TRACE(status);
        fail();
        LogCapture capture("C");
        EXPECT_EQ(probe(), status);
        std::vector<Seen> seen;
        for (const LogLine& l : capture.lines()) {
            seen.emplace_back(l.text, l.severity, l.has_localized);
            EXPECT_EQ(l.function, kProbe);
            EXPECT_EQ(l.localized.find("Unable to translate"), std::string::npos) << l.localized;
        }
        std::vector<Seen> want{{"Calling dsm->getDiskGroupInfo()", DSM_SEV_TRACE, false}};
        want.insert(want.end(), lines.begin(), lines.end());
        EXPECT_EQ(seen, want);
    }
    // Only the delayed reply waited, and no longer than the bound.
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(s, 2.0);
    EXPECT_LT(s, 5.0);
}

TEST(FrameHandlers, StandardAndUnknownExceptionsMapToTheirStatuses) {
    LogCapture capture;
    const dsm::Frame f("probe_local", "test_frame", __LINE__);
    EXPECT_EQ(f.run([]() -> int { throw std::runtime_error("disk on fire"); }), DSM_E_STD);
    EXPECT_EQ(f.run([]() -> int { throw 42; }), DSM_E_UNKNOWN);
    EXPECT_EQ(f.run([]() -> int { throw CORBA::BAD_PARAM(); }), DSM_E_CORBA);
    // A failure of the localised argument library is no standard exception.
    EXPECT_EQ(f.run([]() -> int { throw Brenlow::L10N::LisX(-3); }), DSM_E_UNKNOWN);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "std::exception: disk on fire");
    EXPECT_EQ(lines[1].text, "Unknown (...) exception thrown");
    EXPECT_EQ(lines[2].text.rfind("CORBA exception: BAD_PARAM", 0), 0u) << lines[2].text;
    EXPECT_EQ(lines[3].text, "Unknown (...) exception thrown");
    for (const LogLine& l : lines) {
        EXPECT_EQ(l.severity, DSM_SEV_FATAL);
        EXPECT_EQ(l.line, lines[0].line) << "every handler logs the same line";
    }
}

// The host library answers 0, 1 and -6 for success; any other status
// becomes a LisX and leaves the list as it was.
TEST(FrameHandlers, ArgumentLibraryStatusesBecomeLisX) {
    // {the host's status, the status thrown (0: none, and the value is listed)}
    const std::pair<int, int> statuses[] = {{-7, -7}, {-6, 0}, {-3, -3}, {0, 0}, {1, 0}, {2, 2}};
    for (const auto& [status, thrown_status] : statuses) {
        SCOPED_TRACE(status);
        g_status = status;
        Brenlow::L10N::Lis args;
        int thrown = 0;
        try {
            args.add(7LL);
        } catch (const Brenlow::L10N::LisX& e) {
            thrown = e.status();
        }
        EXPECT_EQ(thrown, thrown_status);
        EXPECT_EQ(brnwLisCount(args.list()), thrown ? 0 : 1);
    }
    g_status.reset();
}

// A population fails only when memory runs out: here copying the volume
// name (250 characters) into the value.
TEST(FrameHandlers, AFailedPopulationIsLoggedWithItsTypeAndStatus) {
    LogCapture capture;
    dsm_diskvolumeinfo_t rec{};
    std::memset(rec.name, 'v', 250);
    g_fail_size = 251;
    EXPECT_EQ(dsm_set_diskvolume_flags(&rec, 1), DSM_E_STD);
    EXPECT_EQ(g_fail_size, 0u);
    EXPECT_TRUE(capture.has("Failed to populate DiskVolume (error=2050302)", DSM_SEV_ERROR, "dsm_set_diskvolume_flags"))
        << capture.dump();
    EXPECT_EQ(rec.object_ref, nullptr);
}
