"""The package's version: the version of the library it is built with."""

__version__ = "1.0.0"
