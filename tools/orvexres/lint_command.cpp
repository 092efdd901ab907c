// orvexres lint: the timing blocks and the database checked (tools/lint).
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "tools/lint/lint.h"
#include "tools/orvexres/orvexres.h"

namespace {

void Collect(void *context, const Tag_Lint_Finding *finding) {
    static_cast<std::vector<Tag_Lint_Finding> *>(context)->push_back(*finding);
}

const char *Plural(size_t n) {
    return n == 1 ? "" : "s";
}

// The rules in the words of the help: Markdown's `code` marks left out.
std::string PlainWords(const char *text) {
    std::string out;
    for (const char *p = text; *p != '\0'; ++p)
        if (*p != '`')
            out += *p;
    return out;
}

} // namespace

void PrintLintRules(FILE *out) {
    fputs("\nThe rules (RULE, its kind, what it finds):\n", out);
    for (const Tag_Lint_Rule_Info &rule : kLintRules) {
        fprintf(out, "  %s (%s)\n", rule.name, rule.error ? "error" : "warning");
        PrintWrapped(out, "      ", 6, PlainWords(rule.finds));
    }
}

int RunLint(const Tag_Invocation &call) {
    const std::string &file = call.args[0];
    Tag_Lint_Range range{};
    bool have_range = false;
    if (const std::string *text = FindOption(call, "--range")) {
        const char *fault = "";
        if (!ParseLintRange(text->c_str(), &range, &fault))
            return UsageError(call.command, "--range '" + Printable(*text) + "': " + fault +
                                                " (give HMIN-HMAX,VMIN-VMAX,CLOCKMAX in kHz, Hz "
                                                "and MHz, e.g. 30-70,50-120,110)");
        have_range = true;
    }

    if (const std::string *edid = FindOption(call, "--edid")) {
        if (have_range)
            return UsageError(call.command, "give --range or --edid, not both");
        if (!ReadEdidRange(call, *edid, &range))
            return kExitRefused;
        have_range = true;
    }

    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    std::vector<Tag_Lint_Finding> findings;
    if (!LintDatabase(have_range ? &range : nullptr, Collect, &findings)) {
        Report(file, 0, RES_DAT_ERR_OUT_OF_MEMORY, GetResDatErrMeaning(RES_DAT_ERR_OUT_OF_MEMORY),
               GetResDatFindingHint(RES_DAT_FOUND_NO_MEMORY));
        return kExitRefused;
    }
    std::stable_sort(
        findings.begin(), findings.end(),
        [](const Tag_Lint_Finding &a, const Tag_Lint_Finding &b) { return a.line < b.line; });
    size_t errors = 0;
    size_t warnings = 0;
    std::string where = Printable(file);
    for (const Tag_Lint_Finding &f : findings) {
        const Tag_Lint_Rule_Info &rule = GetLintRule(f.rule);
        (rule.error ? errors : warnings) += 1;
        std::string at = f.line > 0 ? where + ":" + std::to_string(f.line) : where;
        printf("%s: %s: %s [%s]\n", at.c_str(), rule.error ? "error" : "warning",
               Printable(f.text).c_str(), rule.name);
    }
    printf("%s: %zu error%s, %zu warning%s\n", where.c_str(), errors, Plural(errors), warnings,
           Plural(warnings));
    return errors > 0 ? kExitRefused : kExitOk;
}
