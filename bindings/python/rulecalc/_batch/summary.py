"""The summary of a batch run, as the rulecalc tool prints it."""

import unicodedata


def shown_width(text):
    """Terminal columns of a text: two for a wide (Chinese) character."""
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def _padded(text, width):
    return text + " " * max(width - shown_width(text), 0)


def summary_text(rules, summary):
    """Rows evaluated and skipped, then held / failed / errors per rule."""
    width = max([4] + [shown_width(r.id) for r in rules])
    lines = ["summary: %d rows evaluated, %d skipped as malformed" % (summary.evaluated, summary.skipped),
             _padded("rule", width) + "      held    failed    errors"]
    for rule, tally, error in zip(rules, summary.tallies, summary.analysis_errors):
        if error is not None:
            lines.append(_padded(rule.id, width) + "  not analysed: " + error)
        else:
            lines.append(_padded(rule.id, width) + "".join("%10d" % n for n in tally))
    return "\n".join(lines) + "\n"
