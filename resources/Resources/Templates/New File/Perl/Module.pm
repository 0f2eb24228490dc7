package Untitled;
use strict;
use warnings;

our $VERSION = '0.01';

sub new {
	my ($class, %arguments) = @_;
	my $self = { %arguments };
	return bless $self, $class;
}

1;
