#include "runtime/registry.h"

#include <gtest/gtest.h>

namespace kvell {
namespace {

constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;

TEST(RegFile, reads_keys_and_string_values_with_escapes) {
  MemoryRegistry registry = ParseRegText(
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\HOME0]\r\n"
      "\"ORACLE_HOME\"=\"C:\\\\oracle\\\\ora92\"\r\n"
      "\"QUOTE\" = \"say \\\"hi\\\"\"\r\n"
      "@=\"default\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Kvell]\r\n"
      "\"Warnings\"=\"24344\"\r\n");
  EXPECT_EQ(registry.ReadValue(kMachine, "software\\oracle\\home0", "oracle_home"), "C:\\oracle\\ora92");
  EXPECT_EQ(registry.ReadValue(kMachine, "SOFTWARE\\ORACLE\\HOME0", "QUOTE"), "say \"hi\"");
  EXPECT_EQ(registry.ReadValue(kMachine, "SOFTWARE\\ORACLE\\HOME0", ""), "default");
  EXPECT_EQ(registry.ReadValue(kUser, "Software\\Kvell", "Warnings"), "24344");
  EXPECT_EQ(registry.ReadValue(kMachine, "Software\\Kvell", "Warnings"), std::nullopt);
  EXPECT_TRUE(registry.KeyExists(kMachine, "SOFTWARE"));
}

TEST(RegFile, decodes_numbers_and_hex_data_over_continued_lines) {
  MemoryRegistry registry = ParseRegText(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_LOCAL_MACHINE\\K]\n"
      "\"Counter\"=dword:0000000a\n"
      "\"Big\"=hex(b):01,00,00,00,01,00,00,00\n"
      "\"Expand\"=hex(2):25,00,48,00,\\\n"
      "  4f,00,25,00,00,00\n"
      "\"Raw\"=hex:41,42\n"
      "\"Bad\"=dword:xyz\n"
      "\"Odd\"=hex:4\n");
  EXPECT_EQ(registry.ReadValue(kMachine, "K", "Counter"), "10");
  EXPECT_EQ(registry.ReadValue(kMachine, "K", "Big"), "4294967297");
  EXPECT_EQ(registry.ReadValue(kMachine, "K", "Expand"), "%HO%");
  EXPECT_EQ(registry.ReadValue(kMachine, "K", "Raw"), "AB");
  EXPECT_EQ(registry.ReadValue(kMachine, "K", "Bad"), std::nullopt);
  EXPECT_EQ(registry.ReadValue(kMachine, "K", "Odd"), std::nullopt);
}

TEST(RegFile, regedit4_hex_strings_are_bytes_and_utf16_files_are_decoded) {
  MemoryRegistry ansi = ParseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"S\"=hex(2):41,42,00\n");
  EXPECT_EQ(ansi.ReadValue(kMachine, "K", "S"), "AB");

  std::string utf8 = "Windows Registry Editor Version 5.00\r\n[HKLM\\K]\r\n\"N\"=\"\xC5\xA0\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("Windows Registry Editor Version 5.00\r\n[HKLM\\K]\r\n\"N\"=\"")) {
    utf16 += c;
    utf16 += '\0';
  }
  utf16 += std::string("\x60\x01", 2);  // U+0160
  utf16 += std::string("\"\0\r\0\n\0", 6);
  EXPECT_EQ(ParseRegText(utf16).ReadValue(kMachine, "K", "N"), "\xC5\xA0");
  EXPECT_EQ(ParseRegText(utf8).ReadValue(kMachine, "K", "N"), "\xC5\xA0");
}

TEST(RegFile, deletions_and_other_roots) {
  MemoryRegistry registry = ParseRegText(
      "[HKEY_LOCAL_MACHINE\\A\\B]\n\"V\"=\"1\"\n\"W\"=\"2\"\n"
      "[HKEY_CLASSES_ROOT\\A]\n\"X\"=\"ignored\"\n"
      "[HKEY_LOCAL_MACHINE\\A\\B]\n\"W\"=-\n"
      "[HKEY_LOCAL_MACHINE\\A\\C]\n"
      "[-HKEY_LOCAL_MACHINE\\A\\C]\n"
      "[broken\n\"Y\"=\"lost\"\n");
  EXPECT_EQ(registry.ReadValue(kMachine, "A\\B", "V"), "1");
  EXPECT_EQ(registry.ReadValue(kMachine, "A\\B", "W"), std::nullopt);
  EXPECT_FALSE(registry.KeyExists(kMachine, "A\\C"));
  EXPECT_EQ(registry.ReadValue(kMachine, "A", "X"), std::nullopt);
  EXPECT_EQ(registry.SubKeys(kMachine, "A"), std::vector<std::string>{"B"});
}

TEST(MemoryRegistry, subkeys_keep_creation_order_and_names_compare_without_case) {
  MemoryRegistry registry;
  registry.CreateKey(kMachine, "SOFTWARE\\ORACLE\\KEY_b");
  registry.SetValue(kMachine, "software\\oracle\\HOME0", "ORACLE_HOME", "x");
  registry.CreateKey(kMachine, "SOFTWARE\\ORACLE\\key_B");  // the same key
  registry.SetValue(kMachine, "SOFTWARE\\ORACLE\\HOME0", "oracle_home", "y");
  EXPECT_EQ(registry.SubKeys(kMachine, "Software\\Oracle"), (std::vector<std::string>{"KEY_b", "HOME0"}));
  EXPECT_EQ(registry.ReadValue(kMachine, "SOFTWARE\\ORACLE\\HOME0", "ORACLE_HOME"), "y");
  EXPECT_TRUE(registry.SubKeys(kMachine, "MISSING").empty());
  EXPECT_TRUE(registry.SubKeys(kUser, "SOFTWARE").empty());
}

TEST(RegFile, sections_nested_deeper_than_the_host_allows_are_passed_over) {
  std::string deep = "A";
  for (int i = 0; i < 600; ++i) deep += "\\A";
  MemoryRegistry registry = ParseRegText("[HKEY_LOCAL_MACHINE\\" + deep + "]\n\"V\"=\"1\"\n");
  EXPECT_FALSE(registry.KeyExists(kMachine, "A"));
}

TEST(RegFile, an_unreadable_file_gives_an_empty_registry) {
  MemoryRegistry registry = LoadRegFile("/nonexistent/registry.reg");
  EXPECT_TRUE(registry.SubKeys(kMachine, "").empty());
}

}  // namespace
}  // namespace kvell
