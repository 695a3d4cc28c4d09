// Start-up: the steps of Init and the provisioning document.
#include "sip_engine/tests/engine_fixture.h"

namespace pelex::sip_engine::testing {
namespace {

TEST_F(EngineTest, InitRunsEveryStepInOrder) {
    engine->Init();
    EXPECT_EQ(calls(), (Calls{"Initialize", "Provisioning", "CreateProfile", "EnableProfile profile 7",
                              "put_EventFilter 39", "Advise", "put_ListenForIncomingSessions 2",
                              "SetPreferredMediaTypes 3 true"}));
    EXPECT_EQ(engine->g_objRTCClient, client);
    EXPECT_TRUE(client->advised());
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, InitWithVideoAsksForAllMediaNotPersistent) {
    engine->Init(true);
    EXPECT_EQ(calls().back(), "SetPreferredMediaTypes 15 false");
}

TEST_F(EngineTest, InitSkipsFailingStepsAndGoesOn) {
    client->script->failing = {"Initialize", "CreateProfile", "put_EventFilter"};
    EXPECT_NO_THROW(engine->Init());
    // No profile: enabling acts on nothing, the rest still runs.
    EXPECT_EQ(calls(), (Calls{"Initialize", "Provisioning", "CreateProfile", "EnableProfile null 7",
                              "put_EventFilter 39", "Advise", "put_ListenForIncomingSessions 2",
                              "SetPreferredMediaTypes 3 true"}));
}

TEST_F(EngineTest, InitWithoutAClientActsOnNothing) {
    engine = std::make_unique<clsRTC>(ClsRTCPlatform{[] { return std::shared_ptr<rtc::IRTCClient>(); },
                                                     timers.factory()},
                                      &events);
    EXPECT_NO_THROW(engine->Init());
    EXPECT_EQ(engine->g_objRTCClient, nullptr);
    EXPECT_TRUE(calls().empty());
}

TEST_F(EngineTest, SecondInitCreatesASecondClient) {
    engine->Init();
    engine->Init();
    EXPECT_EQ(clientsCreated, 2);
}

TEST_F(EngineTest, ProvisioningDocumentIsExactlyThisLine) {
    engine->Init();
    EXPECT_EQ(client->lastDocument,
              u"<provision key=\"Corvo\" name=\"corvo\">"
              u"<user account=\"1000\" password=\"secret\" uri=\"1000@10.0.0.5\"/>"
              u"<sipsrv addr=\"10.0.0.5\" protocol=\"UDP\" auth=\"digest\" role=\"proxy\">"
              u"<session party=\"first\" type=\"pc2pc\"/><session party=\"first\" type=\"pc2ph\"/>"
              u"<session party=\"first\" type=\"im\"/></sipsrv>"
              u"<sipsrv addr=\"10.0.0.5\" protocol=\"UDP\" auth=\"digest\" role=\"registrar\"/>"
              u"</provision>");
}

TEST_F(EngineTest, ProvisioningTrimsUserEverywhereAndServerOnlyInTheUri) {
    const auto doc = clsRTC::ProvisioningDocument(u"  1000 ", u" pw ", u" sip.example ");
    EXPECT_NE(doc.find(u"<user account=\"1000\" password=\" pw \" uri=\"1000@sip.example\"/>"),
              std::u16string::npos);
    EXPECT_NE(doc.find(u"<sipsrv addr=\" sip.example \" protocol=\"UDP\" auth=\"digest\" role=\"proxy\">"),
              std::u16string::npos);
    EXPECT_NE(doc.find(u"<sipsrv addr=\" sip.example \" protocol=\"UDP\" auth=\"digest\" role=\"registrar\"/>"),
              std::u16string::npos);
}

TEST_F(EngineTest, ProvisioningEscapesEveryValueSoNoPasswordCanAddAServer) {
    const auto doc = clsRTC::ProvisioningDocument(u"a\"b", u"p\"/><sipsrv addr=\"evil\" x='&'>", u"h<&>");
    EXPECT_EQ(doc,
              u"<provision key=\"Corvo\" name=\"corvo\">"
              u"<user account=\"a&quot;b\" "
              u"password=\"p&quot;/&gt;&lt;sipsrv addr=&quot;evil&quot; x=&apos;&amp;&apos;&gt;\" "
              u"uri=\"a&quot;b@h&lt;&amp;&gt;\"/>"
              u"<sipsrv addr=\"h&lt;&amp;&gt;\" protocol=\"UDP\" auth=\"digest\" role=\"proxy\">"
              u"<session party=\"first\" type=\"pc2pc\"/><session party=\"first\" type=\"pc2ph\"/>"
              u"<session party=\"first\" type=\"im\"/></sipsrv>"
              u"<sipsrv addr=\"h&lt;&amp;&gt;\" protocol=\"UDP\" auth=\"digest\" role=\"registrar\"/>"
              u"</provision>");
}

}  // namespace
}  // namespace pelex::sip_engine::testing
