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

namespace {

// The monitor the range applies to: --monitor NAME, else the one the EDID
// names when the file has it; null for every monitor. false with the refusal
// reported when --monitor names none.
bool RangeMonitor(const Tag_Invocation &call, const Tag_Range_Option &range,
                  const Tag_Monitor_Entry **monitor) {
    const std::string &file = call.args[0];
    *monitor = nullptr;
    if (const std::string *name = FindOption(call, "--monitor"))
        return (*monitor = FindMonitor(file, *name)) != nullptr;
    if (range.edid_name.empty())
        return true;
    const std::string &edid = *FindOption(call, "--edid");
    *monitor = FindMonitorEntry(range.edid_name.c_str(), GetMonitorEntryHead());
    if (*monitor != nullptr)
        fprintf(stderr, "%s: note: the range applies to monitor %s, the one the EDID names\n",
                Printable(edid).c_str(), Printable((*monitor)->monitor_id_string).c_str());
    else
        fprintf(stderr,
                "%s: note: %s has no monitor %s, the EDID's name: the range applies to every "
                "monitor\n",
                Printable(edid).c_str(), Printable(file).c_str(),
                Printable(range.edid_name).c_str());
    return true;
}

// The findings sorted by line and the summary; the exit status.
int PrintFindings(const std::string &file, std::vector<Tag_Lint_Finding> *findings) {
    std::stable_sort(
        findings->begin(), findings->end(),
        [](const Tag_Lint_Finding &a, const Tag_Lint_Finding &b) { return a.line < b.line; });
    size_t errors = 0;
    size_t warnings = 0;
    std::string where = Printable(file);
    for (const Tag_Lint_Finding &f : *findings) {
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

} // namespace

int RunLint(const Tag_Invocation &call) {
    const std::string &file = call.args[0];
    Tag_Range_Option range;
    if (int status = ReadRangeOption(call, false, kExitUnread, &range); status != kExitOk)
        return status;
    if (HasOption(call, "--monitor") && !range.given)
        return UsageError(call.command, "--monitor goes with --range or --edid");
    Tag_Database db;
    if (!db.Load(file))
        return kExitUnread;
    const Tag_Monitor_Entry *monitor = nullptr;
    if (!RangeMonitor(call, range, &monitor))
        return kExitRefused;
    std::vector<Tag_Lint_Finding> findings;
    if (!LintDatabase(range.given ? &range.lint : nullptr, monitor, Collect, &findings)) {
        ReportOutOfMemory(file);
        return kExitRefused;
    }
    return PrintFindings(file, &findings);
}
