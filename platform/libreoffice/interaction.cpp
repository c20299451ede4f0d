#include "platform/libreoffice/interaction.h"

#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionDisapprove.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>

namespace quillory::libreoffice {

using namespace com::sun::star;

void AbortingInteractionHandler::handle(const uno::Reference<task::XInteractionRequest>& request) {
  if (!request.is()) return;
  const uno::Any what = request->getRequest();
  {
    std::lock_guard lock(mutex_);
    if (what.isExtractableTo(cppu::UnoType<task::PasswordRequest>::get())) {
      password_asked_ = true;
    } else if (other_request_.empty()) {
      other_request_ =
          rtl::OUStringToOString(what.getValueTypeName(), RTL_TEXTENCODING_UTF8).getStr();
    }
  }
  uno::Reference<task::XInteractionContinuation> disapprove;
  for (const auto& continuation : request->getContinuations()) {
    uno::Reference<task::XInteractionAbort> abort(continuation, uno::UNO_QUERY);
    if (abort.is()) {
      abort->select();
      return;
    }
    if (uno::Reference<task::XInteractionDisapprove>(continuation, uno::UNO_QUERY).is()) {
      disapprove = continuation;
    }
  }
  if (disapprove.is()) disapprove->select();
}

bool AbortingInteractionHandler::PasswordAsked() const {
  std::lock_guard lock(mutex_);
  return password_asked_;
}

std::string AbortingInteractionHandler::OtherRequest() const {
  std::lock_guard lock(mutex_);
  return other_request_;
}

}  // namespace quillory::libreoffice
