// The emulator's JSON writer against the test helpers' reader: what one writes the other must read
// back unchanged, awkward texts included.
#include "DevSim.h"
#include "MiniJson.h"

#include "Emulator.h"
#include "SimFrame.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace provix {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

TEST(DevSimDump, WriterAndReaderAgree) {
    char folder[] = "/tmp/provix-dumptest-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    devsim::EmulatorConfig config;
    config.interface_name = "none";
    config.dump_path = std::string(folder) + "/dump.json";
    config.out_dir = folder;
    const devsim::Mac a{0x02, 0, 0, 0, 0, 1}, b{0x02, 0, 0, 0, 0, 2}, tool{0x0a, 0, 0, 0, 0, 9};
    config.devices = {{a, {}}, {b, {}}};
    config.devices[1].behaviour.lockcode = "right";
    devsim::Emulator emulator(config);

    // A command whose text needs escaping, and a two-segment configuration file.
    const std::string text = "{\"Lockcode\":\"wr\\\"ong\",\"Enable\":\"1\",\"ACName\":\"tab\there\"}";
    std::vector<uint8_t> frame(devsim::kFrameSize);
    std::vector<devsim::Reply> out;
    devsim::BuildHeader(frame.data(), b, tool, devsim::kModuleJson, devsim::kMsgJsonCmd, 1, 1);
    devsim::PutU16(frame.data(), devsim::kOffSegFlag, devsim::kSegLast);
    std::memcpy(frame.data() + devsim::kOffData, text.data(), text.size());
    devsim::PutU16(frame.data(), devsim::kOffDataLen, static_cast<uint16_t>(text.size()));
    emulator.FindDevice(b)->OnFrame(frame.data(), frame.size(), out);
    for (const auto& r : out)
        emulator.FindDevice(b)->BuildReply(r, std::vector<uint8_t>(devsim::kFrameSize).data());
    for (uint16_t seq : {1, 2}) {
        devsim::BuildHeader(frame.data(), a, tool, devsim::kModulePara, devsim::kMsgParaData, seq, 1);
        devsim::PutU16(frame.data(), devsim::kOffSegFlag, seq == 1 ? devsim::kSegFirst : devsim::kSegLast);
        devsim::PutU16(frame.data(), devsim::kOffDataLen, seq == 1 ? 1024 : 4);
        std::memset(frame.data() + devsim::kOffData, 'A' + seq, 1024);
        emulator.FindDevice(a)->OnFrame(frame.data(), frame.size(), out);
    }

    std::string error;
    ASSERT_TRUE(emulator.WriteDump(error)) << error;
    test::DevSimState state;
    ASSERT_TRUE(test::ParseDevSimState(ReadText(config.dump_path), state, error)) << error;
    ASSERT_EQ(state.devices.size(), 2u);
    const test::DevSimDevice* da = state.Find("02:00:00:00:00:01");
    const test::DevSimDevice* db = state.Find("02:00:00:00:00:02");
    ASSERT_TRUE(da && db);
    ASSERT_EQ(db->commands.size(), 1u);
    EXPECT_EQ(db->commands[0].text, text);
    EXPECT_EQ(db->commands[0].result, devsim::kMsgLockcodeMismatch);
    ASSERT_EQ(db->reports.size(), 1u);
    EXPECT_EQ(db->reports[0].msg, devsim::kMsgLockcodeMismatch);
    ASSERT_EQ(da->files.size(), 1u);
    EXPECT_EQ(da->files[0].size, 1028u);
    EXPECT_EQ(da->files[0].segments, 2u);
    EXPECT_EQ(da->files[0].path, std::string(folder) + "/020000000001-1-para.bin");
    EXPECT_EQ(ReadText(da->files[0].path), std::string(1024, 'B') + "CCCC");
    EXPECT_TRUE(da->files[0].hex.empty()) << "a large payload is not dumped as hex";
    std::filesystem::remove_all(folder);
}

TEST(MiniJson, RejectsBrokenInput) {
    const char* cases[] = {
        "",
        "{",
        "{\"a\":1,}",
        "[1 2]",
        "{\"a\" 1}",
        "\"open",
        "\"bad \\q escape\"",
        "\"\\u12\"",
        "{\"a\":1} trailing",
        "tru",
        "-",
        "\"raw\ncontrol\"",
    };
    for (const char* text : cases) {
        test::JsonValue value;
        std::string error;
        EXPECT_FALSE(test::ParseJson(text, value, error)) << "accepted: " << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string deep(200, '[');
    deep += std::string(200, ']');
    test::JsonValue value;
    std::string error;
    EXPECT_FALSE(test::ParseJson(deep, value, error));
    EXPECT_NE(error.find("deeply"), std::string::npos) << error;
}

TEST(MiniJson, ReadsValuesAndEscapes) {
    test::JsonValue v;
    std::string error;
    ASSERT_TRUE(test::ParseJson(R"( {"n": 12, "s": "a\"b\\c\u00e9\n", "l": [true, false, null], "o": {}} )",
                                v, error))
        << error;
    EXPECT_EQ(v["n"].AsU64(), 12u);
    EXPECT_EQ(v["s"].text, "a\"b\\c\xc3\xa9\n");
    ASSERT_EQ(v["l"].items.size(), 3u);
    EXPECT_TRUE(v["l"].items[0].boolean);
    EXPECT_EQ(v["l"].items[2].type, test::JsonValue::Type::kNull);
    EXPECT_EQ(v["missing"].type, test::JsonValue::Type::kNull);
    test::DevSimState state;
    EXPECT_FALSE(test::ParseDevSimState("[]", state, error));
}

}  // namespace
}  // namespace provix
