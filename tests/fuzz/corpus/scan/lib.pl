
package A;
use strict;
sub f { my ($x) = @_; return $x =~ s/a/b/gr; }
print <<EOT;
here $x
EOT
__END__
