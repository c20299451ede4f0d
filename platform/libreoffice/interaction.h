#pragma once

#include <com/sun/star/task/XInteractionHandler.hpp>
#include <cppuhelper/implbase1.hxx>

#include <mutex>
#include <string>

namespace quillory::libreoffice {

// Answers every question LibreOffice asks while loading or saving with "abort": never a password,
// never a repair of a damaged file. Remembers what was asked so the failure can say why.
class AbortingInteractionHandler
    : public cppu::WeakImplHelper1<com::sun::star::task::XInteractionHandler> {
 public:
  void SAL_CALL
  handle(const com::sun::star::uno::Reference<com::sun::star::task::XInteractionRequest>& request)
      override;

  bool PasswordAsked() const;
  // The type of the first other request, "" when none came.
  std::string OtherRequest() const;

 private:
  mutable std::mutex mutex_;
  bool password_asked_ = false;
  std::string other_request_;
};

}  // namespace quillory::libreoffice
