#include <gtest/gtest.h>

#include "app/SetupConfig.h"
#include "json/JReader.h"

using namespace pv;

namespace {

JValue Parse(const char* text) {
  JValue v;
  EXPECT_TRUE(JParse(text, v)) << text;
  return v;
}

}  // namespace

TEST(SetupConfig, UninstallDocumentCarriesRootShortcutsAndLists) {
  const JValue config = Parse(R"({"mode":1,"lastrun":"Orvane.exe","instrun":["a.exe"],"instoptions":["b.exe"],)"
                              R"("uninstrun":["util\\clean.exe /u"],)"
                              R"("shortcut":{"desktop":[{"file":"Orvane.exe","name":"Pellio"}],"taskbar":[]}})");
  JValue files, folders;
  files.At(0) = JValue(EncodeDocumentPath("C:\\A\\x.txt"));
  folders.At(0) = JValue(EncodeDocumentPath("C:\\A"));
  const JValue doc = BuildUninstallDocument(config, "C:\\A", 30001, files, folders);

  EXPECT_EQ(doc.Find("mode").Type(), JInt);
  EXPECT_EQ(doc.Find("mode").ToInt(), 0);
  EXPECT_EQ(doc.Find("channel").ToInt(), 30001);
  EXPECT_STREQ(doc.Find("setup").Find("root").ToText(), "QzpcQQ==");
  EXPECT_EQ(doc.Find("setup").Find("shortcut").Dump(), config.Find("shortcut").Dump());
  EXPECT_EQ(DecodeDocumentPath(doc.Find("files").Element(0)), "C:\\A\\x.txt");
  EXPECT_EQ(DecodeDocumentPath(doc.Find("folders").Element(0)), "C:\\A");
  // Only what the uninstaller reads is carried over.
  EXPECT_FALSE(doc.Has("lastrun"));
  EXPECT_FALSE(doc.Has("instrun"));
  EXPECT_FALSE(doc.Has("instoptions"));

  // The document survives its own text, Windows paths in copied texts included.
  JValue back;
  ASSERT_TRUE(JParse(doc.Dump().c_str(), back));
  EXPECT_EQ(back.Dump(), doc.Dump());
  EXPECT_STREQ(back.Find("uninstrun").Element(0).ToText(), "util\\clean.exe /u");
}

TEST(SetupConfig, MinimalConfigurationGivesNullShortcutAndNoUninstRun) {
  const JValue doc = BuildUninstallDocument(Parse(R"({"mode":1})"), "D:\\Tervaset\\Orvane", 30001, JValue(), JValue());
  EXPECT_TRUE(doc.Find("setup").Has("shortcut"));
  EXPECT_EQ(doc.Find("setup").Find("shortcut").Type(), JNull);
  EXPECT_FALSE(doc.Has("uninstrun"));
  // A text given where a list belongs is copied as it is.
  const JValue textRun =
      BuildUninstallDocument(Parse(R"({"mode":1,"uninstrun":"x.exe"})"), "C:\\A", 1, JValue(), JValue());
  EXPECT_STREQ(textRun.Find("uninstrun").ToText(), "x.exe");
}

TEST(SetupConfig, DecodingRefusesWhatIsNotABase64Text) {
  EXPECT_EQ(DecodeDocumentPath(JValue("QzpcQQ==")), "C:\\A");
  EXPECT_EQ(DecodeDocumentPath(JValue("C:\\A")), "");
  EXPECT_EQ(DecodeDocumentPath(JValue(5)), "");
  EXPECT_EQ(DecodeDocumentPath(JValue()), "");
  EXPECT_EQ(EncodeDocumentPath(""), "");
}
