#pragma once

#include <string>
#include <string_view>

namespace quillory {

// The English name of an ISO 4217 currency ("EUR": "Euro"); "" for a code not in the table.
std::string_view CurrencyName(std::string_view code);

// How a list of currencies shows one: "EUR – Euro", or the code alone when it has no name here.
std::string CurrencyLabel(std::string_view code);

}  // namespace quillory
