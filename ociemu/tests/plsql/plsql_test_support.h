// Running blocks with a few typed binds and reading what they wrote back.
#pragma once

#include <string>
#include <vector>

#include "oci_test_support.h"

namespace ociemu::testing {

class PlsqlTest : public OciTest {
 protected:
  // One bind: an integer, or text of up to 400 bytes, in and out.
  struct Var {
    std::string name;
    bool is_text = false;
    long long integer = 0;
    std::string text;
    bool null = false;
  };

  static Var number(const std::string& name, long long value = 0, bool null = false) {
    return Var{name, false, value, {}, null};
  }
  static Var string(const std::string& name, const std::string& value = {}, bool null = false) {
    return Var{name, true, 0, value, null || value.empty()};
  }

  // Executes the block with the binds; writes their values back into `vars`.
  sword execute(const std::string& block, std::vector<Var>& vars, OCISvcCtx* on = nullptr) {
    OCIStmt* stmt = prepare(block);
    struct Slot {
      long long integer = 0;
      char text[401] = {0};
      sb2 indicator = 0;
      ub2 length = 0;
    };
    std::vector<Slot> slots(vars.size());
    for (size_t i = 0; i < vars.size(); ++i) {
      Slot& slot = slots[i];
      Var& var = vars[i];
      slot.indicator = var.null ? -1 : 0;
      OCIBind* bind = nullptr;
      if (var.is_text) {
        std::snprintf(slot.text, sizeof slot.text, "%s", var.text.c_str());
        slot.length = static_cast<ub2>(var.text.size());
        EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(var.name), len(var.name), slot.text,
                                             sizeof slot.text - 1, SQLT_CHR, &slot.indicator, &slot.length, nullptr, 0,
                                             nullptr, OCI_DEFAULT));
      } else {
        slot.integer = var.integer;
        EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(var.name), len(var.name), &slot.integer,
                                             sizeof slot.integer, SQLT_INT, &slot.indicator, nullptr, nullptr, 0,
                                             nullptr, OCI_DEFAULT));
      }
    }
    sword rc = OCIStmtExecute(on ? on : svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    for (size_t i = 0; i < vars.size(); ++i) {
      vars[i].null = slots[i].indicator == -1;
      vars[i].integer = slots[i].integer;
      vars[i].text.assign(slots[i].text, vars[i].null ? 0 : slots[i].length);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }

  // The value a block leaves in :r as text ("<null>" for NULL), or the error text.
  std::string result_text(const std::string& block) {
    std::vector<Var> vars{string(":r")};
    if (execute(block, vars) != OCI_SUCCESS) return "error: " + last_error();
    return vars[0].null ? "<null>" : vars[0].text;
  }

  // The error a block fails with ("" when it succeeds).
  std::string failure(const std::string& block) {
    std::vector<Var> none;
    return execute(block, none) == OCI_SUCCESS ? std::string() : last_error();
  }
};

}  // namespace ociemu::testing
