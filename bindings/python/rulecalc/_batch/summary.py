"""The summary of a batch run, as the rulecalc tool prints it."""

import unicodedata

COMMON_EXPLANATIONS = 3       # shown per rule
MOST_EXPLANATIONS = 1000      # different ones counted per rule; the rest count together


class ExplanationCount:
    """How often each explanation (GBK) of a rule's failures and errors came."""

    def __init__(self):
        self.times = {}
        self.others = 0

    def add(self, counts):
        for text in sorted(counts):
            if text in self.times or len(self.times) < MOST_EXPLANATIONS:
                self.times[text] = self.times.get(text, 0) + counts[text]
            else:
                self.others += counts[text]

    def most_common(self):
        ranked = sorted(self.times.items(), key=lambda item: (-item[1], item[0]))
        return ranked[:COMMON_EXPLANATIONS]


def shown_width(text):
    """Terminal columns of a text: two for a wide (Chinese) character."""
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def _padded(text, width):
    return text + " " * max(width - shown_width(text), 0)


def _one_line(text):
    """The text with each run of white space that holds a line break made one blank."""
    if "\n" not in text and "\r" not in text:
        return text
    words, run = [], ""
    for c in text + "\0":
        if c in " \t\r\n":
            run += c
            continue
        if run:
            words.append(" " if "\r" in run or "\n" in run else run)
            run = ""
        words.append(c)
    return "".join(words[:-1])


def _plural(count, noun):
    return "%d %s%s" % (count, noun, "" if count == 1 else "s")


def summary_text(rules, summary):
    """Rows evaluated and skipped; held / failed / errors per rule, most failures
    first; then the most common explanations of each rule that failed."""
    width = max([4] + [shown_width(r.id) for r in rules])
    lines = ["summary: %s evaluated, %d skipped as malformed" % (_plural(summary.evaluated, "row"), summary.skipped),
             _padded("rule", width) + "      held    failed    errors"]
    explanations = []
    not_held = [0 if t is None else t[1] + t[2] for t in summary.tallies]
    for i in sorted(range(len(rules)), key=lambda k: -not_held[k]):
        rule, tally, error = rules[i], summary.tallies[i], summary.analysis_errors[i]
        if error is not None:
            lines.append(_padded(rule.id, width) + "  not analysed: " + error)
            continue
        description = "  " + rule.description if rule.description else ""
        lines.append(_padded(rule.id, width) + "".join("%10d" % n for n in tally) + description)
        if not_held[i]:
            explanations.append(rule.id + ":")
            explanations.extend("%10dx  %s" % (times, _one_line(text.decode("gbk", "replace")))
                                for text, times in summary.explanations[i].most_common())
    if explanations:
        lines += ["most common explanations:"] + explanations
    return "\n".join(lines) + "\n"
