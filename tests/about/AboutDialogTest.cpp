#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include "about/AboutControlIds.h"
#include "about/AboutDialog.h"
#include "about/BuildTime.h"
#include "about/LinkStatic.h"
#include "options/ControlIds.h"
#include "options/OptionsDialog.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "tests/about/ScreenPixels.h"
#include "tests/gui/GuiTest.h"

namespace {
int PixelsOf(wxWindow* window, const wxColour& colour) {
  return CountScreenPixels(window->GetScreenRect(), colour);
}

// The link shows `colour` both in its state and on screen.
bool LinkShows(LinkStatic* link, const wxColour& colour) {
  return WaitFor([&] { return link->TextColour() == colour && PixelsOf(link, colour) > 0; });
}

// The About box that runs modally now, if any.
AboutDialog* ModalAboutBox() {
  for (wxWindow* window : wxTopLevelWindows) {
    auto* about = dynamic_cast<AboutDialog*>(window);
    if (about && about->IsModal() && about->IsShownOnScreen()) return about;
  }
  return nullptr;
}

wxPoint Centre(wxWindow* window) {
  const wxRect r = window->GetScreenRect();
  return wxPoint(r.x + r.width / 2, r.y + r.height / 2);
}

class AboutBox : public IsolatedTest {
 protected:
  void SetUp() override { IsolatedTest::SetUp(); }
  void TearDown() override {
    if (m_about) m_about->Destroy();
    if (m_form) m_form->Destroy();
    YieldFor(20);
    IsolatedTest::TearDown();
  }

  AboutDialog& OpenAbout() {
    m_about = new AboutDialog();
    m_about->InitDialog();
    ShowAndSettle(m_about);
    return *m_about;
  }

  OptionsDialog& OpenForm() {
    m_form = new OptionsDialog();
    wxTheApp->SetTopWindow(m_form);  // the main window, as at start-up
    m_form->InitDialog();
    ShowAndSettle(m_form);
    return *m_form;
  }

  std::string Label(int id) const {
    return ToBytes(m_about->Control<wxStaticText>(id)->GetLabelText());
  }

  AboutDialog* m_about = nullptr;
  OptionsDialog* m_form = nullptr;
  BrowserLog m_browser;
  std::vector<std::string>& m_opened = m_browser.opened;
};

TEST_F(AboutBox, ShowsItsTextsAndTheBuildTime) {
  AboutDialog& about = OpenAbout();
  EXPECT_EQ("About wVignetor", ToBytes(about.GetTitle()));
  EXPECT_EQ(ProgramBuildTime(), Label(IDC_BUILD_TIME));
  EXPECT_EQ("korvel.example", ToBytes(about.m_link->GetLabelText()));
  ASSERT_NE(nullptr, about.GetControl(IDC_LINK));
  EXPECT_EQ(about.m_link, about.GetControl(IDC_LINK)) << "the link is control 1019";
  auto* ok = about.Control<wxButton>(IDOK_RES);
  ASSERT_NE(nullptr, ok);
  EXPECT_EQ("OK", ToBytes(ok->GetLabel()));
  EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == ok; })) << "OK has the focus";
  // The link sits right of its label and above the build time, as laid out.
  const wxRect link = about.m_link->GetRect();
  const wxRect time = about.GetControl(IDC_BUILD_TIME)->GetRect();
  EXPECT_EQ(about.DialogToPixels(wxPoint(145, 35)), link.GetTopLeft());
  EXPECT_EQ(about.DialogToPixels(wxPoint(7, 64)).x, time.x);
  EXPECT_LT(link.GetBottom(), time.GetTop());
  const wxSize client = about.GetClientSize();
  EXPECT_LE(link.GetRight(), client.x);
  EXPECT_LE(ok->GetRect().GetRight(), client.x);
}

TEST_F(AboutBox, LinkIsUnderlinedWithAHandCursorAndTooltip) {
  AboutDialog& about = OpenAbout();
  EXPECT_TRUE(about.m_link->GetFont().GetUnderlined());
  EXPECT_EQ(about.GetFont().GetPointSize(), about.m_link->GetFont().GetPointSize())
      << "derived from the dialog's font";
  EXPECT_TRUE(about.m_link->GetCursor().IsOk());
  ASSERT_NE(nullptr, about.m_link->GetToolTip());
  EXPECT_EQ("Visit the Korvel Software web site", ToBytes(about.m_link->GetToolTipText()));
}

TEST_F(AboutBox, LinkColourFollowsThePointerAndTheClick) {
  AboutDialog& about = OpenAbout();
  LinkStatic* link = about.m_link;
  wxUIActionSimulator sim;
  sim.MouseMove(Centre(about.FindWindow(wxID_OK)));
  YieldFor(30);
  EXPECT_TRUE(LinkShows(link, LinkStatic::kLinkColour)) << "blue before the pointer comes";

  sim.MouseMove(Centre(link));
  EXPECT_TRUE(LinkShows(link, LinkStatic::kHoverColour)) << "red under the pointer";
  EXPECT_TRUE(link->IsOver());
  EXPECT_EQ(0, PixelsOf(link, LinkStatic::kLinkColour));

  sim.MouseMove(Centre(about.GetControl(IDC_BUILD_TIME)));
  EXPECT_TRUE(LinkShows(link, LinkStatic::kLinkColour)) << "blue again once the pointer left";
  EXPECT_FALSE(link->IsOver());
  EXPECT_TRUE(m_opened.empty());

  sim.MouseMove(Centre(link));
  EXPECT_TRUE(LinkShows(link, LinkStatic::kHoverColour));
  sim.MouseClick();
  EXPECT_TRUE(LinkShows(link, LinkStatic::kVisitedColour)) << "visited after the click";
  ASSERT_EQ(1u, m_opened.size());
  EXPECT_EQ("http://korvel.example", m_opened[0]);
  EXPECT_TRUE(about.IsShown()) << "the click leaves the box open";

  sim.MouseMove(Centre(about.GetControl(IDC_BUILD_TIME)));
  YieldFor(50);
  EXPECT_TRUE(LinkShows(link, LinkStatic::kVisitedColour)) << "off it";
  sim.MouseMove(Centre(link));
  YieldFor(50);
  EXPECT_TRUE(link->IsOver());
  EXPECT_TRUE(LinkShows(link, LinkStatic::kVisitedColour)) << "on it again";
  EXPECT_EQ(0, PixelsOf(link, LinkStatic::kHoverColour));
}

TEST_F(AboutBox, AboutButtonOpensAFreshBoxEachTime) {
  OptionsDialog& form = OpenForm();
  std::vector<bool> visitedAtOpening;
  for (int opening = 0; opening < 2; ++opening) {
    form.CallAfter([&, opening] {
      AboutDialog* about = nullptr;
      // Ends the box whatever happens, so that a failure cannot hang the test.
      const auto finish = [&] {
        if (about && about->IsModal() && !WaitFor([&] { return !about->IsModal(); })) {
          ADD_FAILURE() << "Escape did not close the box";
          about->EndModal(wxID_CANCEL);
        }
      };
      ASSERT_TRUE(WaitFor([&] { return (about = ModalAboutBox()) != nullptr; }));
      ShowAndSettle(about);
      visitedAtOpening.push_back(about->m_link->IsVisited());
      wxUIActionSimulator sim;
      sim.MouseMove(Centre(about->m_link));
      EXPECT_TRUE(WaitFor([&] { return about->m_link->IsOver(); }));
      sim.MouseClick();
      EXPECT_TRUE(WaitFor([&] { return about->m_link->IsVisited(); }));
      if (opening == 0) {
        sim.MouseMove(Centre(about->FindWindow(wxID_OK)));
        EXPECT_TRUE(WaitFor([&] { return !about->m_link->IsOver(); }));
      } else {
        EXPECT_TRUE(about->m_link->IsOver()) << "the keys work while the pointer rests on the link";
      }
      sim.Char(WXK_ESCAPE);
      finish();
    });
    wxCommandEvent click(wxEVT_BUTTON, IDC_ABOUT);
    click.SetEventObject(form.GetControl(IDC_ABOUT));
    form.GetControl(IDC_ABOUT)->GetEventHandler()->ProcessEvent(click);
  }
  EXPECT_EQ((std::vector<bool>{false, false}), visitedAtOpening);
  EXPECT_EQ(2u, m_opened.size());
}
}  // namespace
