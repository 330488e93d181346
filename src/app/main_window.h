// The main window: its unit identifiers, the handlers its event table binds,
// and its template. The template is built from the table in
// main_window_template.cpp by a build-time tool and embedded as bytes; the
// program reads those bytes back with LoadTemplates like any stored template.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/window/template_format.h"

namespace tl::app::ui {

inline constexpr std::uint32_t kMainWindow = 0x52010018;
inline constexpr std::uint32_t kMainWindowUnit = 0x06010017;

// Controls, in template order.
enum Control : std::uint32_t {
  kStatusLabel = 0x1601C97A,   // 透明标签
  kProgressBar = 0x1601C97B,   // 进度条
  kBanner = 0x1601A7D9,        // 图片框横幅
  kSlideTimer = 0x1601A7DA,    // 时钟官网
  kBannerRule = 0x1601A7DB,    // 标签横幅
  kLogo = 0x1601A7DC,          // 图片Lumora软件
  kHomeLink = 0x1601A7E3,      // 文字软件主页
  kHomeIcon = 0x1601A7E4,      // 图片软件主页
  kShuffleCheck = 0x16014726,  // 选择框打乱顺序
  kDedupeCheck = 0x16014725,   // 选择框去重
  kResultLabel = 0x16014721,   // 标签5
  kSourceLabel = 0x16014720,   // 标签4
  kEncodingLabel = 0x16010FA1, // 标签1
  kEncodingCombo = 0x16010FA0, // 组合框编码
  kFilterEdit = 0x16010F56,    // 编辑框过滤
  kFolderButton = 0x160107C9,  // 按钮选择文件夹
  kFilesButton = 0x160107C8,   // 按钮选择文件
  kCopyButton = 0x160107C7,    // 按钮处理并复制结果
  kProcessButton = 0x160107C6, // 按钮处理
  kPasteButton = 0x160107C5,   // 按钮粘贴
  kResultEdit = 0x160107C2,    // 编辑框结果
  kSourceEdit = 0x160107C1,    // 编辑框原文
  kTypedRadio = 0x16010037,    // 单选框自己输入
  kLineBreakRadio = 0x16010036,// 单选框换行符
  kSeparatorEdit = 0x16010035, // 编辑框分隔符
  kSeparatorLabel = 0x16010034,// 标签2
};

// The stored handler numbers of the event table (never -1, never 0).
enum Handler : std::int32_t {
  kOnMainWindowCreated = 1,
  kOnMainWindowCloseQuery,
  kOnPasteClick,
  kOnProcessClick,
  kOnCopyClick,
  kOnChooseFilesClick,
  kOnChooseFolderClick,
  kOnChooseFolderRightDown,
  kOnSlideTimer,
  kOnLogoClick,
  kOnHomepageImageClick,
  kHandlerCount = kOnHomepageImageClick,
};

// The four banner images: logo, logo hover, home icon, home icon hover (GIF
// file bytes).
using BannerImages = std::array<std::string, 4>;

// The main window's template, the window alone in its segment.
rt::tpl::TemplateSegment MainWindowTemplate(const BannerImages& images);

// The embedded template bytes (generated at build time).
std::string_view MainWindowTemplateBytes();

}  // namespace tl::app::ui
