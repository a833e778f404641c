// Reading the lookup server's answer pages. Each function takes the page's
// rendered body text (GBK) and returns what the result memo shows. Positions
// are 1-based byte positions, as the server's page layout is fixed in bytes.
#pragma once

#include <string>

namespace zel {

// The mobile-number answer; input is the edit's text when the page arrives.
std::string ReadMobileAnswer(const std::string& page, const std::string& input);

// The IP answer; input is the edit's text when the page arrives.
std::string ReadIpAnswer(const std::string& page, const std::string& input);

// The ID-card answer: four lines (number, address, date of birth, sex) for a
// decoded number, a fixed error text, or empty.
std::string ReadIdCardAnswer(const std::string& page);

}  // namespace zel
