#include "module_fixture.h"

#include <cstdio>
#include <fstream>

namespace {

using DescriptorTest = ModuleTest;

TEST_F(DescriptorTest, FixedWords) {
    const host::ModuleDescriptor &d = module.descriptor();
    EXPECT_EQ(d.syncWord, 0x04121994u);
    EXPECT_EQ(d.moduleVersion, 3u);
    EXPECT_EQ(d.machine, 0x300u);
    EXPECT_NE(d.startup, nullptr);
    EXPECT_NE(d.shutdown, nullptr);
}

struct ExpectedServer {
    const char *className;
    const char *serverName;
};

TEST_F(DescriptorTest, ServerTableHoldsExactlyTheServersThenTheTerminator) {
    const ExpectedServer expected[] = {
        {host::kCameraHandlerClass, kServerName},
        {host::kCameraInterfaceClass, kServerName},
    };
    const host::ServerRecord *servers = module.descriptor().servers;
    size_t i = 0;
    for (; i < sizeof expected / sizeof expected[0]; ++i) {
        ASSERT_NE(servers[i].className, nullptr) << "table ends early at record " << i;
        EXPECT_STREQ(servers[i].className, expected[i].className) << "record " << i;
        EXPECT_STREQ(servers[i].serverName, expected[i].serverName) << "record " << i;
        EXPECT_NE(servers[i].activate, nullptr) << "record " << i;
        EXPECT_EQ(servers[i].tags, nullptr) << "record " << i;
    }
    EXPECT_EQ(i, 2u);
    EXPECT_EQ(servers[i].className, nullptr);
    EXPECT_EQ(servers[i].serverName, nullptr);
    EXPECT_EQ(servers[i].activate, nullptr);
    EXPECT_EQ(servers[i].tags, nullptr);
}

TEST_F(DescriptorTest, StartupAnswersTokenFourEveryTime) {
    EXPECT_EQ(module.startupToken(), reinterpret_cast<void *>(4));
    EXPECT_EQ(module.descriptor().startup(), reinterpret_cast<void *>(4));
    EXPECT_EQ(module.descriptor().startup(), reinterpret_cast<void *>(4));
}

TEST_F(DescriptorTest, ShutdownChangesNothing) {
    ActivateHandlerOrFail();
    module.descriptor().shutdown(module.startupToken());
    EXPECT_NE(NewCamera(), nullptr);
    EXPECT_EQ(ActivateHandler(), host::kActivateOk);
}

TEST_F(DescriptorTest, UnknownServerIsAnError) {
    EXPECT_EQ(module.findServer(host::kCameraHandlerClass, "Other"), nullptr);
    EXPECT_EQ(module.findServer("ImageFilterHandler", kServerName), nullptr);
    try {
        module.server(host::kCameraHandlerClass, "Other");
        FAIL() << "no error";
    } catch (const minihost::HostError &e) {
        EXPECT_NE(std::string(e.what()).find("no server of class CameraHandler named Other"),
                  std::string::npos)
            << e.what();
    }
}

TEST(ModuleFileErrors, EachFaultHasItsOwnMessage) {
    const std::string textFile = testing::TempDir() + "orvalen_not_a_module.p";
    std::ofstream(textFile) << "just text\n";
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"/nonexistent/Orvalen.p", "no such module file"},
        {textFile, "not a module the host can load"},
        {ORVALEN_NO_DESCRIPTOR_MODULE, "exports no _mod_descrip"},
        {ORVALEN_BAD_SYNC_MODULE, "synchronisation word 0x12345678, expected 0x04121994"},
    };
    for (const Case &c : cases) {
        try {
            minihost::ModuleFile file(c.path);
            ADD_FAILURE() << c.path << " loaded";
        } catch (const minihost::HostError &e) {
            std::string what = e.what();
            EXPECT_EQ(what.find(c.path), 0u) << what;
            EXPECT_NE(what.find(c.message), std::string::npos) << what;
        }
    }
    std::remove(textFile.c_str());
}

} // namespace
