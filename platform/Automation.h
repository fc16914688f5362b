#pragma once
// An automation (IDispatch) object, called by member name at run time.

#include <string>
#include <variant>
#include <vector>

namespace win {

// What goes into and comes out of a member call: nothing, or text. Other results are dropped.
using AutomationValue = std::variant<std::monostate, std::string>;

class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
  // Calls a method or reads a property by name. A failure is thrown as std::runtime_error
  // carrying the automation error's own description.
  virtual AutomationValue Invoke(const std::string& member,
                                 const std::vector<AutomationValue>& arguments) = 0;
};

}  // namespace win
