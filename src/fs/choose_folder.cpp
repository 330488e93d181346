#include "fs/choose_folder.h"

#include "gbk_texts.h"
#include "runtime/window/shell_commands.h"

namespace tl::fs {

rt::Text ChooseFolder(std::string_view initial, std::optional<std::string_view> prompt) {
  auto folder = rt::BrowseForFolder(prompt ? *prompt : gbk::FsChooseFolderTitle, initial);
  // No trimming: spaces at either end belong to the folder's name.
  return folder ? rt::Text(*folder) : rt::Text();
}

}  // namespace tl::fs
