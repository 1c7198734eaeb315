"""The values of the variables an explanation names: "SCORE=50, AGE=16"."""

from ..values import folded


def explained_names(explanation):
    """The names listed before every "::" of a GBK explanation, in order, each once."""
    names = []
    marker = explanation.find(b"::")
    while marker >= 0:
        start = explanation.rfind(b";", 0, marker) + 1
        while start < marker:
            comma = explanation.find(b",", start, marker)
            comma = marker if comma < 0 else comma
            if explanation[start:comma] not in names:
                names.append(explanation[start:comma])
            start = comma + 1
        marker = explanation.find(b"::", marker + 2)
    return names


def explained_values(explanation, places, values):
    """name=value for each name the explanation lists that is a column
    (places: folded GBK name -> column), joined by ", "; GBK."""
    shown = []
    for name in explained_names(explanation):
        place = places.get(folded(name.decode("gbk", "replace")))
        if place is not None:
            shown.append(name + b"=" + values[place])
    return b", ".join(shown)
