// Message cutting, the MTS texts and the warning codes in the registry.
#include <gtest/gtest.h>

#include "oracle/session/oracle_error.h"
#include "runtime/registry.h"

namespace kvell {
namespace {

TEST(CutOracleMessage, keeps_up_to_1023_characters) {
  std::string text(1500, 'x');
  EXPECT_EQ(1023u, CutOracleMessage(text.c_str()).size());
  EXPECT_EQ("ORA-00942: table or view does not exist\n",
            CutOracleMessage("ORA-00942: table or view does not exist\n"));
}

TEST(CutOracleMessage, never_splits_a_multi_byte_character) {
  std::string text(1022, 'x');
  text += "\xC5\xA0";  // Š across the limit
  text += "tail";
  EXPECT_EQ(std::string(1022, 'x'), CutOracleMessage(text.c_str()));
}

TEST(EOracleMTSError, names_the_number_text_and_function) {
  EXPECT_EQ("MTS error 3002: failed attach to Oracle\r\nin function OraMTSSvcGet",
            EOracleMTSError(3002, "OraMTSSvcGet").Message);
  EXPECT_EQ("OraMTSSvcRel", EOracleMTSError(0, "OraMTSSvcRel").Message);
  EXPECT_EQ("MTS error 9999: \r\nin function OraMTSSvcGet", EOracleMTSError(9999, "OraMTSSvcGet").Message);
  EXPECT_EQ("no MTXDM.DLL available", MTSErrorText(1001));
  EXPECT_EQ("error exporting trans.", MTSErrorText(6014));
}

TEST(ReadWarningCodes, reads_numbered_values_up_to_the_first_missing_one) {
  MemoryRegistry registry;
  auto set = [&](const char* name, const char* value) {
    registry.SetValue(RegistryRoot::CurrentUser, kWarningCodesKey, name, value);
  };
  set("1", "1403");
  set("2", "*942");   // switched off
  set("3", "many");   // not a number
  set("4", " 24344");
  set("6", "1");      // after the gap: never read
  EXPECT_EQ((std::vector<int>{1403, 24344}), ReadWarningCodes(registry));
  EXPECT_TRUE(ReadWarningCodes(MemoryRegistry{}).empty());
}

}  // namespace
}  // namespace kvell
