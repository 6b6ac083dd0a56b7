#pragma once

#include <string>
#include <vector>

// Where templates are found: the program directory first, then the user's own
// folder, $XDG_DATA_HOME/wVignetor/templates. The program and the generator
// both go by these rules, so that what the form lists the generator finds.

// The folder of the running executable, symbolic links resolved (a link to
// the program finds the templates beside the real file).
std::string ExecutableDirectory();

// The user's template folder; it need not exist. $XDG_DATA_HOME when it is an
// absolute path, otherwise ~/.local/share.
std::string UserTemplateDirectory();

// The folder in which the template `fileName` is taken: the program directory
// when it holds an entry of that name, else the user's folder when that does,
// else the program directory (where the error is then reported).
std::string TemplateDirectory(const std::string& programDirectory, const std::string& fileName);

// The *.tpl entries of `directory` in the order the directory lists them;
// none when it is missing or unreadable.
std::vector<std::string> TemplateFileNames(const std::string& directory);

// The *.tpl of the user's folder whose names the program directory does not
// already hold, in directory order.
std::vector<std::string> UserOnlyTemplateNames(const std::string& programDirectory,
                                               const std::string& userDirectory);

// For --help: each folder with its templates, and the help page.
std::string TemplateFoldersText(const std::string& programDirectory);
