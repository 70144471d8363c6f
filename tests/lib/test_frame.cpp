// The shared call frame: argument checks in parameter order, and every row
// of the status table provoked through the bundled service.
#include "LogCapture.h"
#include "ServiceFixture.h"

#include "Brenlow.h"
#include "DiskServiceHelper.h"
#include "dsmlib_frame.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

using dsmtest::ServiceEnvironment;
using dsmtest::ServiceTest;

namespace {

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
        DS::DiskGroup_var pool = new OBV_Orvane::Keldra::DL::DiskService::DiskGroup;
        pool->name(name);
        CORBA::Long mode = 0;
        DSM_DBMODE(f, db_mode, mode);
        f.calling("getDiskGroupInfo", __LINE__);
        DS::DiskGroupInfo_var info = dsm->getDiskGroupInfo(pool.in(), mode);
        if (!info.in()) return f.nullResult("getDiskGroupInfo", "DiskGroupInfo", __LINE__);
        return DSM_OK;
    });
}

int probe(const char* name = "pool1") {
    const int count = 0;
    return probe_diskgroupinfo(name, &count, 1);
}

FW::ServiceExceptionDetails_var disk_details(CORBA::Long code, CORBA::Long domain, int msgnum) {
    OBV_Orvane::Keldra::DL::DiskService::DiskServiceExceptionDetails* d =
        new OBV_Orvane::Keldra::DL::DiskService::DiskServiceExceptionDetails;
    FW::ServiceExceptionDetails_var held = d;
    d->originatingService("DiskService");
    d->originatingClass("PoolStore");
    d->originatingMethod("find():12");
    d->originatingHost("emm1");
    d->errorCode(code);
    d->errorDomain(domain);
    d->errorText("disk pool not found");
    if (msgnum >= 0) {
        FW::Message_var m = new OBV_Orvane::Keldra::TL::Framework::Message;
        m->textId(msgnum);
        m->originatorId(178);
        d->message(m.in());
    }
    return held;
}

class Frame : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
        ASSERT_EQ(dsmlib_ping(), DSM_OK);
    }
};

}  // namespace

TEST_F(Frame, ArgumentsAreCheckedInParameterOrderBeforeConnecting) {
    dsmlib_set_emmserver("no-such-host.invalid");
    LogCapture capture;
    EXPECT_EQ(probe_diskgroupinfo(nullptr, nullptr, 1), DSM_E_INVALID_ARG);
    ASSERT_EQ(capture.lines().size(), 1u) << capture.dump();
    EXPECT_TRUE(capture.has("Input argument 'name' is NULL", DSM_SEV_ERROR, kProbe));

    capture.clear();
    const int negative = -3;
    EXPECT_EQ(probe_diskgroupinfo("p", &negative, 1), DSM_E_INVALID_ARG);
    ASSERT_EQ(capture.lines().size(), 1u) << "no connection attempted: " << capture.dump();
    EXPECT_TRUE(capture.has("Input argument '*count' is negative (-3)", DSM_SEV_ERROR, kProbe));
}

TEST_F(Frame, ServiceExceptionWithDiskServiceDetailsGivesItsCode) {
    control()->failWithServiceException("getDiskGroupInfo", 1, disk_details(2050012, 1, 8).in());
    LogCapture capture("C");
    EXPECT_EQ(probe(), 2050012);
    auto lines = capture.containing("ServiceException:\n");
    ASSERT_EQ(lines.size(), 1u) << capture.dump();
    EXPECT_EQ(lines[0].severity, DSM_SEV_ERROR);
    EXPECT_EQ(lines[0].text,
              "ServiceException:\n method=find():12 class=PoolStore service=DiskService host=emm1 "
              "errorDomain=DSM errorCode=2050012 errorText=disk pool not found");
    EXPECT_TRUE(lines[0].has_localized);
    EXPECT_EQ(lines[0].localized.find("Unable to translate"), std::string::npos) << lines[0].localized;
    EXPECT_TRUE(capture.containing("Failed to extract error code").empty());
}

TEST_F(Frame, ServiceExceptionWithOtherDetailsGivesMinusOne) {
    FW::ErrorCodeExceptionDetails_var plain = new OBV_Orvane::Keldra::TL::Framework::ErrorCodeExceptionDetails;
    plain->errorCode(2050012);
    control()->failWithServiceException("getDiskGroupInfo", 1, plain.in());
    LogCapture capture;
    EXPECT_EQ(probe(), -1);
    EXPECT_TRUE(capture.has("ServiceException", DSM_SEV_ERROR, kProbe)) << capture.dump();
    auto failed = capture.exactly("Failed to extract error code from ServiceExeption");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].severity, DSM_SEV_FATAL);
    EXPECT_FALSE(failed[0].has_localized);

    // A negative code in disk service details is reported the same way.
    control()->failWithServiceException("getDiskGroupInfo", 1, disk_details(-7, 2, -1).in());
    EXPECT_EQ(probe(), -7);
    EXPECT_EQ(capture.exactly("Failed to extract error code from ServiceExeption").size(), 2u);
}

TEST_F(Frame, IllegalArgumentExceptionGives2050200) {
    FW::IllegalArgumentExceptionDetails_var d = new OBV_Orvane::Keldra::TL::Framework::IllegalArgumentExceptionDetails;
    d->argumentName("pool");
    d->originatingMethod("getDiskGroupInfo():3");
    control()->failWithIllegalArgument("getDiskGroupInfo", 1, d.in());
    LogCapture capture;
    EXPECT_EQ(probe(), DSM_E_INVALID_ARG);
    auto lines = capture.containing("IllegalArgumentException");
    ASSERT_EQ(lines.size(), 1u) << capture.dump();
    EXPECT_EQ(lines[0].text, "IllegalArgumentException:\n method=getDiskGroupInfo():3");
    EXPECT_TRUE(lines[0].has_localized);
    EXPECT_EQ(lines[0].localized, "IllegalArgumentException") << "no message to translate";
}

TEST_F(Frame, CorbaExceptionAfterAGoodPingGives2050301) {
    control()->failWithSystemException("getDiskGroupInfo", 1, DsmControl::SYS_NO_MEMORY);
    LogCapture capture;
    EXPECT_EQ(probe(), DSM_E_CORBA);
    auto lines = capture.containing("CORBA exception: ");
    ASSERT_EQ(lines.size(), 1u) << capture.dump();
    EXPECT_EQ(lines[0].severity, DSM_SEV_FATAL);
    EXPECT_NE(lines[0].text.find("NO_MEMORY"), std::string::npos) << lines[0].text;
    EXPECT_FALSE(lines[0].has_localized);
}

TEST_F(Frame, NullResultGives2050202) {
    control()->returnNull("getDiskGroupInfo", 1);
    LogCapture capture;
    EXPECT_EQ(probe(), DSM_E_NULL_RESULT);
    EXPECT_TRUE(capture.has("getDiskGroupInfo returned NULL DiskGroupInfo", DSM_SEV_ERROR, kProbe))
        << capture.dump();
    EXPECT_TRUE(capture.has("Calling dsm->getDiskGroupInfo()", DSM_SEV_TRACE, kProbe));
}

TEST_F(Frame, ReplyLaterThanTheCallBoundGives2050301InTime) {
    // The fixture's configuration bounds calls at 3 s.
    control()->delayReply("getDiskGroupInfo", 1, 6000);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(probe(), DSM_E_CORBA);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(s, 5.0);
    EXPECT_GT(s, 2.0);
}

TEST_F(Frame, UnknownDatabaseModeIsReportedAfterConnecting) {
    LogCapture capture;
    const int count = 0;
    EXPECT_EQ(probe_diskgroupinfo("p", &count, 5), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Failed to convert DbMode (error=2050200)", DSM_SEV_ERROR, kProbe));
    EXPECT_EQ(control()->callCount("getDiskGroupInfo"), 0);
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

TEST(FrameHandlers, RaisedHelperExceptionsBecomeTheirStatuses) {
    LogCapture capture;
    const dsm::Frame f("probe_local", "test_frame", __LINE__);
    DS::PropertySeq list;
    EXPECT_EQ(f.run([&] { DiskServiceHelper::addProperty(list, nullptr, "v"); return 0; }),
              DSM_E_INVALID_ARG);
    EXPECT_EQ(f.run([] {
                  DiskServiceHelper::throwSvcException(1, 2050001, "Property", "DiskServiceHelper",
                                                       "buildProperty", 1, 20, "Property");
                  return 0;
              }),
              DSM_E_NOMEM);
}
