#include "template/TemplateError.h"

namespace {
const char kLineEnd[] = "\n";
}

TemplateError::TemplateError(const std::string& statement)
    : m_strMessage(std::string("Template Error") + kLineEnd + statement + kLineEnd) {}

TemplateError::TemplateError(const std::string& statement, const std::string& detail)
    : TemplateError(statement) {
  m_strMessage += detail + kLineEnd;
}

TemplateError::TemplateError(const std::string& statement, const std::string& detail1,
                             const std::string& detail2)
    : TemplateError(statement, detail1) {
  m_strMessage += detail2 + kLineEnd;
}

TemplateError::~TemplateError() = default;
