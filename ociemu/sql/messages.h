// Oracle's message texts by error number: the one table every part of ociemu
// (translator, functions, PL/SQL, call interface, oerhms, OCIErrorGet) reads.
// Templates carry "%s" where Oracle substitutes a value.
//
// Thread-safe: yes (the table is constant).
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace ociemu::sql {

using MessageArgs = std::initializer_list<std::string_view>;

// The template for code ("check constraint (%s.%s) violated"); nullopt when ociemu does not know it.
std::optional<std::string_view> message_template(int code);

// The text for code with each "%s" replaced by the next argument (an empty text
// once the arguments run out); "Message n not found" for an unknown code.
std::string message_text(int code, MessageArgs args = {});

// "ORA-nnnnn: " + text: the form OCIErrorGet and oerhms give.
std::string full_message(int code, std::string_view text);

}  // namespace ociemu::sql
