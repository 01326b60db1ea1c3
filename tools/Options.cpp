// SPDX-License-Identifier: Apache-2.0
#include "Options.h"

#include "Numbers.h"

namespace eurocall::tool {

CLI::Option* AddNumber(CLI::App* app, Param p, Values* values, bool required) {
  const std::string flag = "--" + std::string(ParamName(p));
  double* target = &At(*values, p);
  CLI::Option* option = app->add_option_function<std::string>(
                               flag,
                               [flag, target](const std::string& text) {
                                 const NumberText status = ParseDouble(text, target);
                                 if (status != NumberText::kNumber) {
                                   throw CLI::ValidationError(flag, NumberProblem(text, status));
                                 }
                               },
                               std::string(ParamHelp(p)))
                            ->type_name("NUM");
  if (required) option->required();
  return option;
}

CLI::Option* AddMethod(CLI::App* app, std::string* method, std::vector<std::string> choices) {
  const std::string help = choices.size() == 3 ? "exact (panels and an adaptive tail), fast (panels) or both"
                                               : "exact (panels and an adaptive tail) or fast (panels)";
  return app->add_option("--method", *method, help)->check(CLI::IsMember(std::move(choices)))->capture_default_str();
}

void AddKindAndDividend(CLI::App* app, Request* request) {
  OptionKind* kind = &request->kind;
  app->add_option_function<std::string>(
         "--kind",
         [kind](const std::string& text) {
           const auto named = OptionKindNamed(text);
           if (!named) throw CLI::ValidationError("--kind", "'" + text + "' is neither call nor put");
           *kind = *named;
         },
         "call (the default) or put, priced by put-call parity on the call")
      ->type_name("call|put");
  AddNumber(app, Param::q, &request->values, false)->default_str("0");
}

}  // namespace eurocall::tool
