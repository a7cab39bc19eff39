#include "oracle/dataset/dataset_messages.h"

namespace kvell::dataset_messages {

std::string BookmarkNotFound(int32_t id) { return "Bookmark not found (" + std::to_string(id) + ")"; }

std::string NotInUnidirectionalMode(const std::string& dataset_name, int number) {
  return dataset_name + ": Record " + std::to_string(number) + " not accessible in Unidirectional mode";
}

std::string DuplicateInFilteredList(int position) {
  return "BUG: Duplicate record in filtered list (" + std::to_string(position) + ")";
}

std::string NotAvailableYet(const std::string& operation) {
  return operation + " is not available for TOracleDataSet yet";
}

}  // namespace kvell::dataset_messages
