#pragma once

#include <string>

// Why a template cannot be used. The message is "Template Error", the
// statement and each given detail, every line ended by LF, ready to be
// shown as it is.
class TemplateError {
 public:
  explicit TemplateError(const std::string& statement);
  TemplateError(const std::string& statement, const std::string& detail);
  TemplateError(const std::string& statement, const std::string& detail1,
                const std::string& detail2);
  virtual ~TemplateError();

  const std::string& message() const noexcept { return m_strMessage; }

 private:
  std::string m_strMessage;
};
