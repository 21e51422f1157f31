// Who a number or an id is: the names the output's own contacts give, so a
// sender, caller or participant is shown by name with the number beside it.
#ifndef KXPACKAGE_REPORT_NAMES_H_
#define KXPACKAGE_REPORT_NAMES_H_

#include <json/json.h>

#include <string>
#include <unordered_map>

namespace kxpackage {

class NameBook {
 public:
  // Learns the numbers, addresses and ids of a contact record as the report
  // reads it ({"title", "fields": [[name, value], ...]}).
  void AddContact(const Json::Value& record);
  // Learns one id (a jid, a number) with its name, as an app's own member
  // list gives it; a name already known for it stays.
  void Add(const std::string& id, const std::string& name);

  // The name of `id` ("" when none): "+49 151 23456789",
  // "4915123456789@s.whatsapp.net" and "0151 23456789" are one person.
  std::string NameOf(const std::string& id) const;

  bool empty() const { return names_.empty(); }

 private:
  std::unordered_map<std::string, std::string> names_;
};

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_NAMES_H_
