#pragma once

// What the small programs beside the LibreOffice tests share: one office instance for the whole
// program, ended however the work ends.

#include <exception>
#include <iostream>
#include <string>

#include "platform/libreoffice/office.h"

namespace quillory::libreoffice::testing {

// Starts the shared instance for `first_file`, runs `work` with it and ends it. Returns the
// program's exit status: 1, with the error on standard error, when anything threw.
template <typename Work>
int WithOffice(const std::string& first_file, Work&& work) {
  Office& office = Office::Shared();
  int status = 0;
  try {
    office.EnsureRunning(first_file);
    work(office);
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    status = 1;
  }
  office.End();
  return status;
}

}  // namespace quillory::libreoffice::testing
