#pragma once

#include <zip.h>

#include <string>

namespace quillory::libreoffice {

// One part of a zip package, whole; "" when it is missing, unreadable or says it is larger than
// any of the small parts read here can be (a damaged or hostile size must not take the memory).
std::string ReadZipPart(zip_t* archive, const char* name);

}  // namespace quillory::libreoffice
