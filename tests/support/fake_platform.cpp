#include "support/fake_platform.h"

namespace vortana::testing {

std::string FakePlatform::ControlText(int id) const {
  const auto found = controls.find(id);
  return found == controls.end() ? std::string() : found->second.text;
}

void FakePlatform::SetControlText(int id, const std::string& text) {
  controls[id].text = text;
  textCalls.push_back({id, text});
}

bool FakePlatform::IsChecked(int id) const {
  const auto found = controls.find(id);
  return found != controls.end() && found->second.checked;
}

void FakePlatform::SetChecked(int id, bool checked) { controls[id].checked = checked; }

void FakePlatform::EnableControl(int id, bool enabled) {
  controls[id].enabled = enabled;
  enableCalls.push_back({id, enabled});
}

bool FakePlatform::IsControlEnabled(int id) const {
  const auto found = controls.find(id);
  return found == controls.end() || found->second.enabled;
}

std::optional<std::string> FakePlatform::ChooseOpenFile() {
  ++openFileRequests;
  if (openFileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = openFileAnswers.front();
  openFileAnswers.pop_front();
  return answer;
}

std::optional<Colour> FakePlatform::ChooseColour() {
  ++colourRequests;
  if (colourAnswers.empty()) return std::nullopt;
  const std::optional<Colour> answer = colourAnswers.front();
  colourAnswers.pop_front();
  return answer;
}

void FakePlatform::ShowMessage(const std::string& text, const std::string& caption,
                               MessageIcon icon) {
  messages.push_back({text, caption, icon});
}

void FakePlatform::StartTimer(int id, int periodMs) { timerCalls.push_back({true, id, periodMs}); }

void FakePlatform::StopTimer(int id) { timerCalls.push_back({false, id, 0}); }

void FakePlatform::CheckRadio(std::initializer_list<int> group, int id) {
  for (const int member : group) controls[member].checked = member == id;
}

}  // namespace vortana::testing
