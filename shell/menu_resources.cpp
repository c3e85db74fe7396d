// The layout of the menu bar and of the figure's context menu.
#include "shell/menu_resources.hpp"

#include <string>

#include "shell/command_table.hpp"

namespace vke {

namespace {

MenuNode Cmd(CommandId id) {
  const CommandRow* row = FindCommand(id);
  return MenuNode::Item(id, std::string(row->text), row->kind,
                        std::string(PromptStatus(row->prompt)));
}

MenuNode Separator() {
  return MenuNode::Separator();
}

// The scale, view, option and grid commands, shared by the Figure menu and
// the context menu.
std::vector<MenuNode> FigureCommands() {
  return {
      Cmd(kCmdLockedScale),
      Cmd(kCmdLogX),
      Cmd(kCmdLogY),
      Cmd(kCmdDbY),
      Separator(),
      Cmd(kCmdPerspective),
      MenuNode::Popup("Automatic &View",
                      {Cmd(kCmdAutoTarget), Cmd(kCmdAutoViewPoint), Cmd(kCmdAutoUpVector)}),
      MenuNode::Popup("&Options",
                      {Cmd(kCmdFrame), Cmd(kCmdMargin), Cmd(kCmdLabel), Cmd(kCmdLegend)}),
      MenuNode::Popup("&Grid", {Cmd(kCmdNoGrid), Cmd(kCmdBasicGrid), Cmd(kCmdFullGrid), Separator(),
                                Cmd(kCmdXGrid), Cmd(kCmdYGrid), Cmd(kCmdZGrid)}),
  };
}

}  // namespace

MenuNode MainMenu() {
  MenuNode figure = MenuNode::Popup(std::string(kFigureMenuText),
                                    {Cmd(kCmdManipulate), Cmd(kCmdZoom), Cmd(kCmdZoomX),
                                     Cmd(kCmdDrag), Cmd(kCmdSelect), Separator()});
  for (MenuNode& node : FigureCommands()) figure.children.push_back(std::move(node));
  figure.children.push_back(Separator());
  figure.children.push_back(Cmd(kCmdIdleProcessing));
  return MenuNode::Popup(
      std::string(),
      {
          MenuNode::Popup("&File",
                          {Cmd(kCmdResetData), Separator(), Cmd(kCmdPageSetup), Cmd(kCmdPrint),
                           Cmd(kCmdPrintPreview), Separator(), Cmd(kCmdExit)}),
          // Seven items: the application's "Copy As", "Paste As" and
          // "Language" follow them.
          MenuNode::Popup(
              std::string(kEditMenuText),
              {Cmd(kCmdUndo), Cmd(kCmdRedo), Separator(), Cmd(kCmdCopy), Cmd(kCmdSelectAll),
               Separator(),
               MenuNode::Popup("&Preferences", {Cmd(kCmdInteractiveHighlight), Cmd(kCmdThickLines),
                                                Cmd(kCmdBackgroundColor), Cmd(kCmdFigureFont)})}),
          std::move(figure),
          MenuNode::Popup(
              std::string(kLayoutMenuText),
              {Cmd(kCmdLayout1x1), Cmd(kCmdLayout1x2), Cmd(kCmdLayout2x1), Cmd(kCmdLayout2x2),
               Cmd(kCmdLayout2x3), Cmd(kCmdLayout2x4), Cmd(kCmdLayout3x3), Cmd(kCmdLayout3x4),
               Cmd(kCmdLayout4x4), Separator(), Cmd(kCmdFreeLayout), Cmd(kCmdFixedSize)}),
          MenuNode::Popup("&View", {Cmd(kCmdToolbar), Cmd(kCmdStatusBar)}),
          MenuNode::Popup("&Help", {Cmd(kCmdKVFileHelp), Separator(), Cmd(kCmdAboutApplication)}),
      });
}

MenuNode FigureContextMenu() {
  return MenuNode::Popup(std::string(), FigureCommands());
}

}  // namespace vke
