"""The package's version: the version of the library it is built with."""

__version__ = "1.1.0"
