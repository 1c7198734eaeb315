"""The encoding of a data file: given, or guessed from its first mebibyte as the tool guesses it.

A UTF-8 byte-order mark, or bytes that are all valid UTF-8, mean UTF-8;
anything else is read as GBK, and the tool says so.
"""

from .problems import UsageError

SAMPLE_BYTES = 1 << 20
UTF8, GBK = "UTF-8", "GBK"
_GBK_SPELLINGS = ("GBK", "CP936")


def _first_invalid_utf8(sample, truncated):
    """Offset of the first byte that is not valid UTF-8 (a sequence cut by the
    end of a truncated sample is not invalid), or None."""
    try:
        sample.decode("utf-8")
        return None
    except UnicodeDecodeError as bad:
        if truncated and bad.reason == "unexpected end of data":
            return None
        return bad.start


def data_encoding(path, requested=None):
    """(encoding, notice or None) of the data file at path."""
    try:
        with open(path, "rb") as file:
            sample = file.read(SAMPLE_BYTES)
    except OSError:
        raise UsageError("cannot read the data file '%s'" % path) from None
    if requested:
        return requested.upper(), None
    if not sample or sample.startswith(b"\xef\xbb\xbf"):
        return UTF8, None
    bad = _first_invalid_utf8(sample, len(sample) == SAMPLE_BYTES)
    if bad is None:
        return UTF8, None
    return GBK, ("'%s' is not UTF-8 (byte %d), so it is read as GBK; --data-encoding names another encoding"
                 % (path, bad + 1))


def gbk_value(value, encoding):
    """(GBK bytes, None) of a value written in encoding, or (None, offset of
    the first byte that cannot be converted)."""
    if value.isascii():
        return value, None
    try:
        text = value.decode(encoding)
    except UnicodeDecodeError as bad:
        return None, bad.start
    if encoding.upper() in _GBK_SPELLINGS:
        return value, None
    try:
        return text.encode("gbk"), None
    except UnicodeEncodeError as bad:
        return None, len(text[:bad.start].encode(encoding))
